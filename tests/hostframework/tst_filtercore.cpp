#include "VexErrors.h"
#include "data/KeyList.h"
#include "data/ProductTree.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TdtmDBGeral.h"
#include "forms/RecordSearch.h"
#include "services/Corvel.h"
#include "services/Lib00210.h"
#include "services/Tabvalid.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// Widget-free pieces under the filter dialog's controls.
class tst_FilterCore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void keyList_data();
    void keyList();
    void productTree_data();
    void productTree();
    void queryDialect_data();
    void queryDialect();
    void validEx_data();
    void validEx();
    void dadosProduto_data();
    void dadosProduto();
    void recordSearch_data();
    void recordSearch();

private:
    QTemporaryDir m_dir;
};

namespace {
// Groups, subgroups and items as stored: tree codes without mask literals.
const char *const kProducts[] = {
    "INSERT INTO PRODUTO VALUES ('G1', '01', 'Alimentos', 1, NULL)",
    "INSERT INTO PRODUTO VALUES ('S11', '0101', 'Grãos', 2, NULL)",
    "INSERT INTO PRODUTO VALUES ('000001', '01010001', 'Arroz tipo 1', 3, 'KG')",
    "INSERT INTO PRODUTO VALUES ('000002', '01010002', 'Feijão carioca', 3, 'KG')",
    "INSERT INTO PRODUTO VALUES ('G2', '02', 'Limpeza', 1, NULL)",
    "INSERT INTO PRODUTO VALUES ('S21', '0201', 'Sabões', 2, NULL)",
    "INSERT INTO PRODUTO VALUES ('000003', '02010001', 'Sabão em pó', 3, 'CX')",
    "INSERT INTO PRODUTO VALUES ('Q''1', '02''01', 'Código com aspa', 3, 'UN')",
};

// The product query as the filter dialog declares it.
void declareProductQuery(TADOIBQuery &query)
{
    query.SQL = QStringList { "SELECT",        "   CDPRODUTO,",  "   CDARVPROD,",
                              "   NMPRODUTO,", "   CDNVPRODUTO", "FROM",
                              "   PRODUTO",    "ORDER BY",       "   CDARVPROD" };
    query.SQL_ORACLE = QStringList { "SELECT CDARVPROD, CDPRODUTO, NMPRODUTO", "FROM PRODUTO",
                                     "ORDER BY CDARVPROD" };
    query.SQL_MSSQL = query.SQL_ORACLE;
    query.SQL_IB = QStringList { "THIS IS NOT FOR SQLITE" };
    query.AddField("CDARVPROD", TFieldType::ftString, 20)->SetDisplayLabel("Código");
    TField *code = query.AddField("CDPRODUTO", TFieldType::ftString, 10);
    code->SetRequired(true);
    code->SetVisible(false);
    query.AddField("NMPRODUTO", TFieldType::ftString, 50)->SetDisplayLabel("Nome");
    query.FieldByName("CDARVPROD")->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
}
} // namespace

void tst_FilterCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    dtmDBGeral().Open(QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("vex.db")));
    QSqlQuery sql(dtmDBGeral().adcGeral());
    QVERIFY2(sql.exec("CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) PRIMARY KEY, "
                      "CDARVPROD VARCHAR(20) NOT NULL, NMPRODUTO VARCHAR(50), "
                      "CDNVPRODUTO INTEGER, SGUNIDADE VARCHAR(10))"),
             qPrintable(sql.lastError().text()));
    for (const char *statement : kProducts)
        QVERIFY2(sql.exec(QString::fromUtf8(statement)), qPrintable(sql.lastError().text()));
}

void tst_FilterCore::cleanupTestCase()
{
    dtmDBGeral().Close();
}

void tst_FilterCore::keyList_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("list"); // expected text, or "!" + part of the refusal

    QTest::newRow("two") << QStringList { "0001", "0007" } << 4 << "0001,0007";
    QTest::newRow("none") << QStringList {} << 4 << "";
    QTest::newRow("comma") << QStringList { "0001", "00,7" } << 4 << "!vírgula";
    QTest::newRow("space") << QStringList { "00 7" } << 4 << "!somente letras e dígitos";
    QTest::newRow("quote") << QStringList { "0'7" } << 4 << "!somente letras e dígitos";
    QTest::newRow("too long, never cut") << QStringList { "00071" } << 4 << "!mais de 4";
    QTest::newRow("no size limit") << QStringList { "123456789012345" } << 0 << "123456789012345";
    QStringList many;
    for (int i = 0; i <= KeyList::MaxKeys; ++i)
        many << QString::number(i);
    QTest::newRow("over the count") << many << 4 << "!no máximo 1000";
}

void tst_FilterCore::keyList()
{
    QFETCH(QStringList, keys);
    QFETCH(int, maxLength);
    QFETCH(QString, list);
    if (list.startsWith('!')) {
        try {
            KeyList::encode(keys, maxLength);
            QFAIL("refused keys were encoded");
        } catch (const EVexError &error) {
            QVERIFY2(error.message().contains(list.mid(1)), qPrintable(error.message()));
        }
        return;
    }
    QCOMPARE(KeyList::encode(keys, maxLength), list);
    QCOMPARE(KeyList::decode(list), keys);
}

void tst_FilterCore::productTree_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<bool>("withLevels");
    QTest::addColumn<QString>("parents"); // parent node per node, "-" for none
    QTest::addColumn<QString>("pickable"); // 1 per pickable node

    const QStringList tree { "01", "0101", "01010001", "01010002", "02", "0201", "02010001" };
    QTest::newRow("levels from the mask") << tree << false << "-011-45"
                                          << "0011001";
    QTest::newRow("levels from CDNVPRODUTO") << tree << true << "-011-45"
                                             << "0011001";
    QTest::newRow("items without groups") << QStringList { "01010001", "02010001" } << false << "--"
                                          << "11";
    QTest::newRow("a group without items picks nothing")
        << QStringList { "01", "0101", "02" } << false << "-0-"
        << "000";
}

void tst_FilterCore::productTree()
{
    QFETCH(QStringList, codes);
    QFETCH(bool, withLevels);
    QFETCH(QString, parents);
    QFETCH(QString, pickable);
    const QString mask = Corvel::DBPict(TPictType::ptProduto);
    TClientDataSet ds(QStringLiteral("cdsArvore"));
    ds.AddField("CDARVPROD", TFieldType::ftString, 20);
    ds.AddField("NMPRODUTO", TFieldType::ftString, 50);
    if (withLevels)
        ds.AddField("CDNVPRODUTO", TFieldType::ftInteger);
    TDataPacket packet;
    packet.fields = { { "CDARVPROD", TFieldType::ftString, 20 },
                      { "NMPRODUTO", TFieldType::ftString, 50 },
                      { "CDNVPRODUTO", TFieldType::ftInteger, 0 } };
    for (const QString &code : codes)
        packet.rows << QVariantList { code, "x" + code, qint64(ProductTree::levelOf(code, mask)) };
    ds.LoadFromPacket(packet);

    const ProductTree built
        = ProductTree::build(&ds, "CDARVPROD", "CDNVPRODUTO", "NMPRODUTO", mask);
    QString gotParents;
    QString gotPickable;
    for (int i = 0; i < built.Nodes().size(); ++i) {
        const int parent = built.Nodes().at(i).parent;
        gotParents += parent < 0 ? QStringLiteral("-") : QString::number(parent);
        gotPickable += built.Pickable(i) ? '1' : '0';
    }
    QCOMPARE(gotParents, parents);
    QCOMPARE(gotPickable, pickable);
}

void tst_FilterCore::queryDialect_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("runs");

    QTest::newRow("SQLite") << "QSQLITE" << "SQL";
    QTest::newRow("PostgreSQL") << "QPSQL" << "SQL";
    QTest::newRow("Oracle") << "QOCI" << "ORACLE";
    QTest::newRow("SQL Server") << "QODBC" << "MSSQL";
    QTest::newRow("InterBase without its text") << "QIBASE" << "SQL";
}

void tst_FilterCore::queryDialect()
{
    QFETCH(QString, driver);
    QFETCH(QString, runs);
    TADOIBQuery query;
    query.SQL = QStringList{"SQL"};
    query.SQL_ORACLE = QStringList{"ORACLE"};
    query.SQL_MSSQL = QStringList{"MSSQL"};
    QCOMPARE(query.SqlFor(TADOIBQuery::DialectOf(driver)), QStringList{runs});
}

void tst_FilterCore::validEx_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("result"); // the stored code, or "!" + the error text

    QTest::newRow("masked") << "01.01.0002"
                            << ""
                            << "01010002";
    QTest::newRow("unmasked") << "01010001"
                              << ""
                              << "01010001";
    QTest::newRow("group codes are rows too") << "01.01"
                                              << ""
                                              << "0101";
    QTest::newRow("not found") << "09.09.0009"
                               << ""
                               << "!Produto não cadastrado: 09.09.0009.";
    QTest::newRow("own message") << "09.09.0009"
                                 << "Produto inválido para o OL."
                                 << "!Produto inválido para o OL.";
    QTest::newRow("half typed") << "01.01.00__"
                                << ""
                                << "!Produto não cadastrado: 01.01.00__.";
    QTest::newRow("quote in a stored code") << "02'01"
                                            << ""
                                            << "02'01";
    QTest::newRow("quote, no such code") << "01'01"
                                         << ""
                                         << "!Produto não cadastrado: 01'01.";
}

void tst_FilterCore::validEx()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, result);
    TADOIBQuery query(QStringLiteral("qryProduto"));
    declareProductQuery(query);
    query.Open(); // SQLite runs SQL, never SQL_IB
    TDataSource source;
    source.SetDataSet(query.Query());
    query.Query()->MoveTo(2);

    QString code = typed;
    if (result.startsWith('!')) {
        try {
            Tabvalid::ValidEx(&source, TPictType::ptProduto, code, {}, message, true);
            QFAIL("a refused code passed");
        } catch (const EVexError &error) {
            QCOMPARE(error.message(), result.mid(1));
        }
        QCOMPARE(code, typed);
        QVERIFY(!Tabvalid::ValidEx(&source, TPictType::ptProduto, code, {}, message, false));
    } else {
        QVERIFY(Tabvalid::ValidEx(&source, TPictType::ptProduto, code, {}, message, true));
        QCOMPARE(code, result);
    }
    QCOMPARE(query.Query()->CurrentRow(), 2); // a check does not move the cursor
}

void tst_FilterCore::dadosProduto_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("data"); // empty: no such product

    QTest::newRow("item") << "01010002" << QStringList { "Feijão carioca", "000002", "KG", "3" };
    QTest::newRow("group") << "01" << QStringList { "Alimentos", "G1", "", "1" };
    QTest::newRow("quote bound, not pasted")
        << "02'01" << QStringList { "Código com aspa", "Q'1", "UN", "3" };
    QTest::newRow("injection finds nothing") << "' OR '1'='1" << QStringList {};
    QTest::newRow("unknown") << "99999999" << QStringList {};
}

void tst_FilterCore::dadosProduto()
{
    QFETCH(QString, code);
    QFETCH(QStringList, data);
    if (data.isEmpty()) {
        try {
            Lib00210::Dados_Produto(code);
            QFAIL("a missing product gave data");
        } catch (const EVexError &error) {
            QCOMPARE(error.message(), QStringLiteral("Produto não cadastrado: %1.").arg(code));
        }
        return;
    }
    QCOMPARE(Lib00210::Dados_Produto(code), data);
}

void tst_FilterCore::recordSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("startsWith");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("found");

    // Rows: 0 S 10.5, 1 N 7, 2 S 1.234,5, 3 N 0
    QTest::newRow("coded word forward") << "Sim"
                                        << "" << false << false << 0 << 2;
    QTest::newRow("coded word wraps") << "Sim"
                                      << "" << false << false << 2 << 0;
    QTest::newRow("backward wraps") << "Não"
                                    << "" << false << true << 1 << 3;
    QTest::newRow("backward") << "Não"
                              << "" << false << true << 3 << 1;
    QTest::newRow("formatted number") << "1.234,5"
                                      << "" << false << false << 0 << 2;
    QTest::newRow("starts with the shown word") << "N"
                                                << "IDAPROV" << true << false << 0 << 1;
    QTest::newRow("starts with") << "im"
                                 << "IDAPROV" << true << false << 0 << -1;
    QTest::newRow("contains") << "im"
                              << "IDAPROV" << false << false << 0 << 2;
    QTest::newRow("field only") << "7"
                                << "IDAPROV" << false << false << 0 << -1;
    QTest::newRow("only match is the current row") << "7"
                                                   << "" << false << true << 1 << 1;
}

void tst_FilterCore::recordSearch()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(bool, startsWith);
    QFETCH(bool, backward);
    QFETCH(int, start);
    QFETCH(int, found);
    TClientDataSet ds(QStringLiteral("cdsSoli"));
    TField *flag = ds.AddField("IDAPROV", TFieldType::ftString, 1);
    flag->SetDisplayLabel("Aprovada");
    flag->OnGetText = [](TField *sender, QString &shown, bool) {
        shown = sender->AsString() == QLatin1String("S") ? QStringLiteral("Sim")
                                                         : QStringLiteral("Não");
    };
    ds.AddField("QTSOLI", TFieldType::ftFloat)->SetDisplayFormat("#,##0.##");
    TDataPacket packet;
    packet.fields
        = { { "IDAPROV", TFieldType::ftString, 1 }, { "QTSOLI", TFieldType::ftFloat, 0 } };
    packet.rows = { { "S", 10.5 }, { "N", 7.0 }, { "S", 1234.5 }, { "N", 0.0 } };
    ds.LoadFromPacket(packet);

    RecordSearch::TSearchOptions options;
    options.fieldName = field;
    options.mode = startsWith ? RecordSearch::TSearchMode::smStartsWith
                              : RecordSearch::TSearchMode::smContains;
    options.direction = backward ? RecordSearch::TSearchDirection::sdBackward
                                 : RecordSearch::TSearchDirection::sdForward;
    QCOMPARE(RecordSearch::findRow(&ds, text, start, options), found);
}

QTEST_GUILESS_MAIN(tst_FilterCore)
#include "tst_filtercore.moc"
