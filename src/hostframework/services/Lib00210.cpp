#include "Lib00210.h"

#include "VexErrors.h"
#include "data/TADOIBQuery.h"

namespace Lib00210 {

QStringList Dados_Produto(const QString &code)
{
    TADOIBQuery query(QStringLiteral("qryDadosProduto"));
    query.SQL = QStringList { QStringLiteral("SELECT NMPRODUTO, CDPRODUTO, SGUNIDADE, CDNVPRODUTO"),
                              QStringLiteral("FROM PRODUTO"),
                              QStringLiteral("WHERE CDARVPROD = :CDARVPROD") };
    query.AddField(QStringLiteral("NMPRODUTO"), TFieldType::ftString, 50);
    query.AddField(QStringLiteral("CDPRODUTO"), TFieldType::ftString, 10);
    query.AddField(QStringLiteral("SGUNIDADE"), TFieldType::ftString, 10);
    query.AddField(QStringLiteral("CDNVPRODUTO"), TFieldType::ftInteger);
    query.ParamByName(QStringLiteral("CDARVPROD"))->SetAsString(code.trimmed());
    query.Open();
    TClientDataSet *rows = query.Query();
    if (rows->IsEmpty())
        throw EVexError(QStringLiteral("Produto não cadastrado: %1.").arg(code.trimmed()));
    QStringList data;
    for (TField *field : rows->Fields())
        data << field->AsString();
    return data;
}

} // namespace Lib00210
