#include "AcomPOLDataSets.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

namespace AcomPOLDataSets {

namespace {
constexpr TFieldType S = TFieldType::ftString;
constexpr TFieldType F = TFieldType::ftFloat;
constexpr TFieldType D = TFieldType::ftDateTime;
constexpr TFieldType C = TFieldType::ftFixedChar;
constexpr const char *kQty = "#,##0.000";
} // namespace

QList<FieldDef> filialFields()
{
    return {
        {"CDFILSOLI", S, 4, "Código", nullptr, ">aaaa;0; ", false, 0},
        {"NMFILIAL", S, 30, "Nome", nullptr, nullptr, false, 0},
    };
}

QList<FieldDef> soliFields()
{
    return {
        {"NRSOLICMP", S, 10, "Nº da Solicitação", nullptr, nullptr, false, 0},
        {"CDARVPROD", S, 20, "Produto", nullptr, nullptr, false, 0},
        {"NMPRODUTO", S, 50, "Nome do Produto", nullptr, nullptr, true, 0},
        {"SGUNIDADE", S, 10, "UN", nullptr, nullptr, true, 0},
        {"QTSOLIPROD", F, 0, "Quantidade", kQty, nullptr, true, 0},
        {"DTPROGENTR", D, 0, "Data de Entrega", nullptr, nullptr, true, 0},
        {"IDITMCONS", S, 1, "Consolidada", nullptr, nullptr, true, 15},
        {"NRSOLCMPCONS", S, 10, "Nº da Consolidação", nullptr, nullptr, true, 0},
        {"IDSOLIAPROV", S, 1, "Aprovada", nullptr, nullptr, true, 0},
        {"NMFILIAL", S, 37, "Operador Logístico", nullptr, nullptr, true, 37},
        {"CDPRODUTO", S, 10, nullptr, nullptr, nullptr, true, 0},
        {"CDPRODESTO", S, 10, nullptr, nullptr, nullptr, true, 0},
        {"CDFILIOPELOG", S, 4, "Status", nullptr, nullptr, true, 0},
        {"VRFATOCONV", F, 0, "Fator Conv.", kQty, nullptr, false, 0},
        {"NRSEQUCONSOL", S, 15, "Item Consolidado", nullptr, nullptr, false, 0},
        {"IDPEDIDOOL", C, 1, "Pedido Gerado", nullptr, nullptr, false, 0},
    };
}

QList<FieldDef> prodFields()
{
    return {
        {"CDARVPROD", S, 20, "Produto do Pedido", nullptr, nullptr, false, 0},
        {"NMPRODUTO", S, 50, "Nome do produto", nullptr, nullptr, false, 0},
        {"SGUNIDADE", S, 10, "UN", nullptr, nullptr, false, 0},
        {"QTPROGENPEOL", F, 0, "Quantidade", kQty, nullptr, false, 0},
        {"DTPROGENPEOL", D, 0, "Data de Entrega", nullptr, nullptr, false, 0},
        {"NRPEDEXOL", S, 10, "Nº Pedido", nullptr, nullptr, false, 0},
        {"IDBAIXENPEOL", S, 1, "Baixa de Entrada", nullptr, nullptr, false, 0},
        {"IDBAIXAOLSAI", S, 1, "Baixa de Saída", nullptr, nullptr, false, 0},
        {"CDFILDEST", S, 4, nullptr, nullptr, nullptr, true, 0},
        {"CDFILLANC", S, 4, nullptr, nullptr, nullptr, true, 0},
        {"CDMARCA", S, 5, nullptr, nullptr, nullptr, false, 0},
        {"DTPROGEMBARQ", D, 0, "Data de Embarque", nullptr, nullptr, false, 0},
        {"CDPRODUTO", S, 10, nullptr, nullptr, nullptr, false, 0},
        {"VRFATOCONV", F, 0, "Fator Conv.", kQty, nullptr, false, 0},
    };
}

QList<FieldDef> prodOLFields()
{
    return {
        {"PRODARVOL", S, 73, "Produto de Relacionamento OL", nullptr, nullptr, false, 0},
        {"QUANT_ESTOQUE", F, 0, "Quantidade Total em Estoque", kQty, nullptr, false, 0},
        {"ESTOQ_DISPO", F, 0, "Estoque Disponível", kQty, nullptr, false, 0},
        {"QTRESERVESTOL", F, 0, "Estoque Reservado", kQty, nullptr, false, 0},
        {"RESERVA_ITEM", F, 0, "Qtde. Reservada do Item", kQty, nullptr, false, 0},
    };
}

QList<FieldDef> filiOLFields()
{
    return {
        {"CDFILIOPELOG", S, 4, "Código", nullptr, nullptr, false, 8},
        {"NMFILIAL", S, 30, "Nome", nullptr, nullptr, false, 45},
    };
}

QList<FieldDef> vdFiliOLFields()
{
    return {
        {"CDFILIOPELOG", S, 4, "Código", nullptr, nullptr, false, 0},
        {"NMFILIAL", S, 30, "Nome", nullptr, nullptr, false, 0},
    };
}

QList<FieldDef> pesqFilialFields()
{
    return {
        {"IDMARCADO", C, 1, nullptr, nullptr, nullptr, false, 0},
        {"CDFILIAL", S, 4, "Código", nullptr, nullptr, false, 8},
        {"NMFILIAL", S, 30, "Nome", nullptr, nullptr, false, 45},
        {"IDCNTRRESC", S, 1, nullptr, nullptr, nullptr, true, 0},
        {"CDFILCENTCMP", S, 4, nullptr, nullptr, nullptr, true, 0},
        {"CDREGIAO", S, 3, nullptr, nullptr, nullptr, true, 0},
    };
}

QList<FieldDef> consolidacaoFields()
{
    return {
        {"IDMARCADO", C, 1, nullptr, nullptr, nullptr, false, 0},
        {"NRSEQUCONSOL", S, 15, "Número", nullptr, nullptr, false, 0},
        {"DTINICONSSOLOL", D, 0, "Dt. Inicial", "dd/mm/yyyy", nullptr, false, 0},
        {"DTFINCONSSOLOL", D, 0, "Dt. Final", "dd/mm/yyyy", nullptr, false, 0},
    };
}

void declareFields(TClientDataSet &dataSet, const QList<FieldDef> &fields)
{
    for (const FieldDef &def : fields) {
        TField *field = dataSet.AddField(QString::fromLatin1(def.column), def.type, def.size);
        if (def.label)
            field->SetDisplayLabel(QString::fromUtf8(def.label));
        if (def.format)
            field->SetDisplayFormat(QString::fromLatin1(def.format));
        if (def.mask)
            field->SetEditMask(QString::fromLatin1(def.mask));
        field->SetVisible(!def.hidden);
        if (def.displayWidth > 0)
            field->SetDisplayWidth(def.displayWidth);
    }
}

} // namespace AcomPOLDataSets
