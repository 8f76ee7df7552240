// The eight methods, the export's chain and the branches' counts through a real
// vex-appserver, over the hand-written fixture, on SQLite and (with
// VEX_TEST_PG_URL) PostgreSQL. Every expected row is worked out by hand from
// tests/fixtures/server_fixture.sql; the chain and the counts are also
// compared with what the other methods give, call by call.
#include "AppServerHarness.h"

#include <QJsonDocument>
#include <QMap>

#include <map>
#include <QTest>

#include <array>
#include <cmath>

#include <memory>

using namespace FixtureParams;

namespace {
QString day(int month, int d)
{
    return QString::number(oleDay(2025, month, d), 'g', 15);
}
double at(int month, int d, double fraction = 0)
{
    return oleDay(2025, month, d) + fraction;
}
const QString Z16(16, u'Z');
const QString Z13(13, u'Z');
QJsonArray joined(std::initializer_list<QJsonArray> parts)
{
    QJsonArray all;
    for (const QJsonArray &part : parts) {
        for (const QJsonValue &v : part)
            all.append(v);
    }
    return all;
}
} // namespace

class tst_RdmAcomPOLMethods : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void filiSoliGrid_data();
    void filiSoliGrid();
    void soli_data();
    void soli();
    void soliColumns_data();
    void soliColumns();
    void lookups_data();
    void lookups();
    void packetFields_data();
    void packetFields();
    void cadeiaPedidos_data();
    void cadeiaPedidos();
    void cadeiaAgreesWithWalk_data();
    void cadeiaAgreesWithWalk();
    void cadeiaRowLimit();
    void resumoFiliais_data();
    void resumoFiliais();

private:
    struct Served
    {
        std::unique_ptr<FixtureDatabase> database;
        std::unique_ptr<AppServerProcess> server;
        std::unique_ptr<RpcTestClient> client;
    };
    // Every kind has its rows; one that is not served here is skipped in
    // the test function (VEX_SKIP_WITHOUT_DATABASE).
    QStringList databases() const
    {
        QStringList names = AllDatabaseKinds;
        return names;
    }
    QJsonObject result(const QString &db, const QString &method, const QJsonArray &params);
    QList<QJsonArray> walkedChain(const QString &db, const QVariantMap &criteria);
    QStringList walkedCounts(const QString &db, const QVariantMap &criteria, double dtRef);
    void checkSituations(const QString &db, QVariantMap criteria, double dtRef,
                         const QStringList &branches);
    void addGrid(const char *name, const QVariantMap &criteria, const QStringList &branches);
    void addSoli(const char *name, const QString &branch, const QVariantMap &criteria,
                 const QStringList &items);
    void addLookup(const char *name, const QString &method, const QJsonArray &params,
                   const QStringList &columns, const QStringList &rows);

    std::map<QString, Served> m_served;
};

void tst_RdmAcomPOLMethods::initTestCase()
{
    const QString fixture = QStringLiteral(VEX_SERVER_FIXTURE);
    QList<QPair<QString, FixtureDatabase::Kind>> kinds = {
        {QStringLiteral("sqlite"), FixtureDatabase::Kind::SQLite}};
    if (!FixtureDatabase::pgAdminUrl().isEmpty())
        kinds.append({QStringLiteral("postgresql"), FixtureDatabase::Kind::PostgreSQL});
    for (const auto &[name, kind] : kinds) {
        QString error;
        Served s;
        s.database = FixtureDatabase::create(kind, fixture, &error);
        QVERIFY2(s.database, qPrintable(name + QStringLiteral(": ") + error));
        s.server = std::make_unique<AppServerProcess>();
        QVERIFY2(s.server->start(s.database->url(), {}, &error), qPrintable(error));
        s.client = std::make_unique<RpcTestClient>();
        QVERIFY(s.client->connectTo(s.server->port()));
        m_served.emplace(name, std::move(s));
    }
}

void tst_RdmAcomPOLMethods::cleanupTestCase()
{
    for (auto &[name, s] : m_served) {
        s.client.reset();
        QCOMPARE(s.server->terminate(), 0);
    }
    m_served.clear();
}

QJsonObject tst_RdmAcomPOLMethods::result(const QString &db, const QString &method,
                                          const QJsonArray &params)
{
    const QJsonObject reply = m_served[db].client->call(method, params);
    if (!reply.contains(QStringLiteral("result"))) {
        const QByteArray text = QJsonDocument(reply).toJson(QJsonDocument::Compact);
        QTest::qFail(("reply without result: " + text).constData(), __FILE__, __LINE__);
    }
    return reply.value(QStringLiteral("result")).toObject();
}

void tst_RdmAcomPOLMethods::addGrid(const char *name, const QVariantMap &criteria,
                                    const QStringList &branches)
{
    for (const QString &db : databases())
        QTest::addRow("%s: %s", qPrintable(db), name) << db << criteria << branches;
}

void tst_RdmAcomPOLMethods::filiSoliGrid_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QVariantMap>("criteria");
    QTest::addColumn<QStringList>("branches");

    const QString c = "Campinas", s = "Santos", cu = "Curitiba", r = "Recife";
    const QStringList b1{"0001|" + c}, b2{"0002|" + s}, b4{"0004|" + r};
    addGrid("all open", {}, {b1[0], b2[0], b4[0]});
    addGrid("all open, other operator", {{"stFilOL", "OL02"}}, {b2[0], "0003|" + cu});
    addGrid("operator with no branches", {{"stFilOL", "OL03"}}, {});
    addGrid("unknown operator", {{"stFilOL", "XXXX"}}, {});
    addGrid("delivery day, bounds with time of day",
            {{"stDtEntr", ""}, {"DtEntrIni", at(1, 10, 0.75)}, {"DtEntrFin", at(1, 10, 0.25)}},
            b1);
    addGrid("delivery day after midnight",
            {{"stDtEntr", ""}, {"DtEntrIni", at(1, 11, 0.9)}, {"DtEntrFin", at(1, 11, 0.1)}}, b2);
    addGrid("delivery range",
            {{"stDtEntr", ""}, {"DtEntrIni", at(1, 12)}, {"DtEntrFin", at(1, 20)}}, b1 + b4);
    addGrid("request range",
            {{"stDtSoli", ""}, {"DtSolIni", at(1, 6)}, {"DtSolFin", at(1, 8)}}, b1);
    addGrid("request day, bounds with time of day",
            {{"stDtSoli", ""}, {"DtSolIni", at(1, 4, 0.99)}, {"DtSolFin", at(1, 4, 0.01)}}, b2);
    addGrid("products, padded final code",
            {{"stProd", ""}, {"stProdIni", "0202"}, {"stProdFin", "0303" + Z16}}, b1 + b4);
    addGrid("products, empty initial code",
            {{"stProd", ""}, {"stProdIni", ""}, {"stProdFin", "0101" + Z16}}, b1 + b2);
    addGrid("one product",
            {{"stProd", ""}, {"stProdIni", "0303001"}, {"stProdFin", "0303001" + Z13}}, b1 + b4);
    addGrid("branch list", {{"stTFilSoli", ""}, {"stLFilSoli", "0002,0004"}}, b2 + b4);
    addGrid("branch list of another operator", {{"stTFilSoli", ""}, {"stLFilSoli", "0003"}}, {});
    addGrid("empty branch list selects nothing", {{"stTFilSoli", ""}, {"stLFilSoli", ""}}, {});
    addGrid("consolidation list", {{"stTodasConsol", ""}, {"stListaConsol", "C2"}}, b1);
    addGrid("consolidation list of two",
            {{"stTodasConsol", ""}, {"stListaConsol", "C1,C3"}}, b1 + b2);
    addGrid("empty consolidation list selects nothing",
            {{"stTodasConsol", ""}, {"stListaConsol", ""}}, {});
    addGrid("direct delivery only", {{"stStatus", "S"}}, b1 + b4);
    addGrid("through the operator only", {{"stStatus", "N"}}, b1 + b2);
    addGrid("consolidated only", {{"stItemConsol", "S"}}, b1 + b2);
    addGrid("not consolidated only", {{"stItemConsol", "N"}}, b1 + b4);
    addGrid("blank consolidation is not consolidated",
            {{"stItemConsol", "N"}, {"stStatus", "N"}, {"stProd", ""},
             {"stProdIni", "0101002"}, {"stProdFin", "0101002" + Z13}},
            b1);
    addGrid("order generated", {{"stPedGerado", "S"}}, b1);
    addGrid("no order generated", {{"stPedGerado", "N"}}, b1 + b2 + b4);
    const QVariantMap ol2Ordered{{"stFilOL", "OL02"}, {"stPedGerado", "S"}};
    const QStringList b3{"0003|" + cu};
    const QList<QPair<const char *, QStringList>> quantities = {
        {"A", b3}, {"B", {}}, {"C", b2}, {"D", b2 + b3}, {"E", b2}, {"F", b3}, {"T", b2 + b3}};
    for (const auto &[code, expected] : quantities) {
        QVariantMap criteria = ol2Ordered;
        criteria.insert("stQtdePedido", code);
        const QByteArray name = QByteArray("ordered against requested ") + code;
        addGrid(name.constData(), criteria, expected);
    }
    addGrid("items without order lines pass the quantity rule",
            {{"stFilOL", "OL02"}, {"stQtdePedido", "B"}}, b3);
    addGrid("every rule closed at once",
            {{"stTFilSoli", ""}, {"stLFilSoli", "0001,0002"}, {"stDtEntr", ""},
             {"DtEntrIni", at(1, 1)}, {"DtEntrFin", at(1, 12)}, {"stStatus", "N"},
             {"stItemConsol", "S"}, {"stPedGerado", "S"}, {"stQtdePedido", "D"},
             {"stProd", ""}, {"stProdIni", "0101"}, {"stProdFin", "0101" + Z16},
             {"stTodasConsol", ""}, {"stListaConsol", "C1"}},
            b1);
    addGrid("consolidated without order, by request day",
            {{"stItemConsol", "S"}, {"stPedGerado", "N"}, {"stDtSoli", ""},
             {"DtSolIni", at(1, 4)}, {"DtSolFin", at(1, 4)}},
            b2);
}

void tst_RdmAcomPOLMethods::filiSoliGrid()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QVariantMap, criteria);
    QFETCH(QStringList, branches);
    const QJsonArray params = with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria);
    QCOMPARE(project(result(db, "GetFiliSoliGrid", params), {"CDFILSOLI", "NMFILIAL"}), branches);
}

void tst_RdmAcomPOLMethods::addSoli(const char *name, const QString &branch,
                                    const QVariantMap &criteria, const QStringList &items)
{
    for (const QString &db : databases())
        QTest::addRow("%s: %s", qPrintable(db), name) << db << branch << criteria << items;
}

void tst_RdmAcomPOLMethods::soli_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QVariantMap>("criteria");
    QTest::addColumn<QStringList>("items");

    const QString s1 = "S001|P1", s1d = "S001|P4", s2 = "S002|P2", s3 = "S003|P3",
                  s4 = "S004|P4", s6 = "S006|P2";
    addSoli("all open, by delivery day, number, product", "0001", {},
            {s1, s1d, s2, s3, s4, s6});
    addSoli("item of another operator left out", "0002", {}, {"S007|P1"});
    addSoli("the other operator's item", "0002", {{"stFilOL", "OL02"}}, {"S008|P3"});
    addSoli("direct delivery of a branch served by another operator", "0003", {}, {});
    addSoli("branch with only direct deliveries", "0004", {}, {"S011|P4"});
    const QList<QPair<const char *, QStringList>> ordered = {
        {"A", {s2}}, {"B", {s3}}, {"C", {s1}}, {"D", {s1, s2}}, {"E", {s1, s3}},
        {"F", {s2, s3}}, {"T", {s1, s2, s3}}};
    for (const auto &[code, expected] : ordered) {
        const QByteArray name = QByteArray("with order, ordered against requested ") + code;
        addSoli(name.constData(), "0001", {{"stPedGerado", "S"}, {"stQtdePedido", code}},
                expected);
    }
    addSoli("smaller, items without order pass", "0001", {{"stQtdePedido", "B"}},
            {s1d, s3, s4, s6});
    addSoli("greater, items without order pass", "0001", {{"stQtdePedido", "A"}},
            {s1d, s2, s4, s6});
    addSoli("direct delivery only", "0001", {{"stStatus", "S"}}, {s1d});
    addSoli("through the operator only", "0001", {{"stStatus", "N"}}, {s1, s2, s3, s4, s6});
    addSoli("consolidated only", "0001", {{"stItemConsol", "S"}}, {s1, s2, s3});
    addSoli("not consolidated only", "0001", {{"stItemConsol", "N"}}, {s1d, s4, s6});
    addSoli("no order generated", "0001", {{"stPedGerado", "N"}}, {s1d, s4, s6});
    addSoli("delivery range with time of day", "0001",
            {{"stDtEntr", ""}, {"DtEntrIni", at(1, 10, 0.5)}, {"DtEntrFin", at(1, 12, 0.5)}},
            {s1, s1d, s2});
    addSoli("request range", "0001",
            {{"stDtSoli", ""}, {"DtSolIni", at(1, 2)}, {"DtSolFin", at(1, 3)}}, {s1, s2});
    addSoli("product range", "0001",
            {{"stProd", ""}, {"stProdIni", "0202"}, {"stProdFin", "0303" + Z16}},
            {s1d, s3, s4});
    addSoli("consolidation list", "0001", {{"stTodasConsol", ""}, {"stListaConsol", "C1"}},
            {s1, s2});
    addSoli("consolidation list with an unknown code", "0001",
            {{"stTodasConsol", ""}, {"stListaConsol", "C2,C9"}}, {s3});
    addSoli("several rules at once", "0001",
            {{"stDtEntr", ""}, {"DtEntrIni", at(1, 1)}, {"DtEntrFin", at(1, 15)},
             {"stStatus", "N"}, {"stItemConsol", "S"}, {"stPedGerado", "S"},
             {"stQtdePedido", "F"}},
            {s2, s3});
}

void tst_RdmAcomPOLMethods::soli()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QString, branch);
    QFETCH(QVariantMap, criteria);
    QFETCH(QStringList, items);
    const QJsonArray params = with("GetSoli", soliAllOpen(branch, "OL01"), criteria);
    QCOMPARE(project(result(db, "GetSoli", params), {"NRSOLICMP", "CDPRODUTO"}), items);
}

void tst_RdmAcomPOLMethods::soliColumns_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QJsonArray>("params");
    QTest::addColumn<QStringList>("rows");

    const QVariantMap p1Only{{"stProd", ""}, {"stProdIni", "0101001"},
                             {"stProdFin", "0101001" + Z13}};
    const QVariantMap blank{{"stItemConsol", "N"}, {"stStatus", "N"}, {"stProd", ""},
                            {"stProdIni", "0101002"}, {"stProdFin", "0101002" + Z13}};
    struct Case { const char *name; QJsonArray params; QString row; };
    const QList<Case> cases = {
        {"through the operator, with order",
         with("GetSoli", soliAllOpen("0001", "OL01"), p1Only),
         "S001|0101001|Arroz tipo 1|KG|10|" + day(1, 10)
             + "|S|SC01|S|Operador Norte|P1|P1|OL01|1|C1|S"},
        {"direct delivery: ED text, empty operator and consolidation",
         with("GetSoli", soliAllOpen("0001", "OL01"), {{"stStatus", "S"}}),
         "S001|0303001|Sabão em pó|UN|2|" + day(1, 10) + "|N|null|S|Entrega direta|P4|P4||1||N"},
        {"blank consolidation kept as sent",
         with("GetSoli", soliAllOpen("0001", "OL01"), blank),
         "S006|0101002|Feijão carioca|KG|4|" + day(1, 25)
             + "|N|null|S|Operador Norte|P2|P2|OL01|1|  |N"},
        {"stock product differs, factor applied",
         with("GetSoli", soliAllOpen("0002", "OL02"), {}),
         "S008|0202001|Óleo de soja|CX|1|" + day(2, 10)
             + "|S|SC05|S|Operador Sul|P3|P3|OL02|12|C3|S"},
        {"order through the stock product",
         with("GetSoli", soliAllOpen("0003", "OL02"), {{"stPedGerado", "S"}}),
         "S009|0101001|Arroz tipo 1|KG|3|" + day(1, 9)
             + "|S|SC06|S|Operador Sul|P1|R1|OL02|1|C3|S"},
        {"the client's own direct-delivery text",
         with("GetSoli", soliAllOpen("0004", "OL01"), {{"ED", "Direta"}}),
         "S011|0303001|Sabão em pó|UN|7|" + day(1, 13) + "|N|null|N|Direta|P4|P4||1||N"},
    };
    for (const QString &db : databases()) {
        for (const Case &c : cases)
            QTest::addRow("%s: %s", qPrintable(db), c.name) << db << c.params << QStringList{c.row};
    }
}

void tst_RdmAcomPOLMethods::soliColumns()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QJsonArray, params);
    QFETCH(QStringList, rows);
    const QStringList columns = {
        "NRSOLICMP", "CDARVPROD", "NMPRODUTO", "SGUNIDADE", "QTSOLIPROD", "DTPROGENTR",
        "IDITMCONS", "NRSOLCMPCONS", "IDSOLIAPROV", "NMFILIAL", "CDPRODUTO", "CDPRODESTO",
        "CDFILIOPELOG", "VRFATOCONV", "NRSEQUCONSOL", "IDPEDIDOOL"};
    QCOMPARE(project(result(db, "GetSoli", params), columns), rows);
}

void tst_RdmAcomPOLMethods::addLookup(const char *name, const QString &method,
                                      const QJsonArray &params, const QStringList &columns,
                                      const QStringList &rows)
{
    for (const QString &db : databases()) {
        QTest::addRow("%s: %s %s", qPrintable(db), qPrintable(method), name)
            << db << method << params << columns << rows;
    }
}

void tst_RdmAcomPOLMethods::lookups_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("params");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");

    const double d = at(1, 12);
    const QStringList lineKey{"NRPEDEXOL", "CDMARCA", "QTPROGENPEOL", "DTPROGENPEOL"};
    addLookup("item with three lines, by date, number, brand", "GetProd",
              {"0001", "OL01", d, "P2", "T", "C1"}, lineKey,
              {"PD05|M1|4|" + day(1, 10), "PD02|M1|3|" + day(1, 11), "PD02|M2|4|" + day(1, 11)});
    addLookup("quantity code does not filter", "GetProd", {"0001", "OL01", d, "P2", "B", "C1"},
              {"NRPEDEXOL", "CDMARCA"}, {"PD05|M1", "PD02|M1", "PD02|M2"});
    addLookup("every column", "GetProd", {"0001", "OL01", d, "P1", "T", "C1"},
              {"CDARVPROD", "NMPRODUTO", "SGUNIDADE", "QTPROGENPEOL", "DTPROGENPEOL",
               "NRPEDEXOL", "IDBAIXENPEOL", "IDBAIXAOLSAI", "CDFILDEST", "CDFILLANC", "CDMARCA",
               "DTPROGEMBARQ", "CDPRODUTO", "VRFATOCONV"},
              {"0101001|Arroz tipo 1|KG|10|" + day(1, 9) + "|PD01|2|1|0001|0001|M1|"
               + day(1, 8) + "|P1|1"});
    addLookup("line of the stock product", "GetProd", {"0003", "OL02", d, "R1", "T", "C3"},
              {"NRPEDEXOL", "CDARVPROD", "NMPRODUTO", "IDBAIXENPEOL"},
              {"PD06|0909001|Arroz tipo 1 granel|null"});
    addLookup("line of another consolidation left out", "GetProd",
              {"0002", "OL01", d, "P1", "T", "C1"}, lineKey, {});
    addLookup("another operator", "GetProd", {"0001", "OL02", d, "P2", "T", "C1"}, lineKey, {});

    const QStringList stock{"PRODARVOL", "QUANT_ESTOQUE", "ESTOQ_DISPO", "QTRESERVESTOL",
                            "RESERVA_ITEM"};
    addLookup("stock with the line's reservation", "GetProdOL",
              {"0001", "0001", "PD01", d, "P1", "M1", "OL01", d}, stock,
              {"0909001|100|70|30|4"});
    addLookup("nothing available, fractional reservation", "GetProdOL",
              {"0001", "0001", "PD02", d, "P2", "M1", "OL01", d}, stock, {"0101002|50|0|50|1.5"});
    addLookup("product without stock", "GetProdOL",
              {"0001", "0001", "PD03", d, "P3", "M1", "OL01", d}, stock, {});
    addLookup("no such order line: reservation 0", "GetProdOL",
              {"0001", "0001", "PD99", d, "P1", "M1", "OL01", d}, stock, {"0909001|100|70|30|0"});
    addLookup("stock of another operator", "GetProdOL",
              {"0001", "0001", "PD01", d, "P1", "M1", "OL02", d}, stock, {});

    addLookup("operators by code", "GetFiliOL", {}, {"CDFILIOPELOG", "NMFILIAL"},
              {"OL01|Operador Norte", "OL02|Operador Sul", "OL03|Operador Vazio"});
    addLookup("an operator", "GetVdFiliOL", {"OL02"}, {"CDFILIOPELOG", "NMFILIAL"},
              {"OL02|Operador Sul"});
    addLookup("a branch that is no operator", "GetVdFiliOL", {"0001"},
              {"CDFILIOPELOG", "NMFILIAL"}, {});
    addLookup("unknown code", "GetVdFiliOL", {"ZZZZ"}, {"CDFILIOPELOG", "NMFILIAL"}, {});

    const QStringList filial{"IDMARCADO", "CDFILIAL", "NMFILIAL", "IDCNTRRESC", "CDFILCENTCMP",
                             "CDREGIAO"};
    addLookup("branches served", "GetPesqFilial", {"OL01"}, filial,
              {"N|0001|Campinas|S|0001|SP1", "N|0002|Santos|N|0001|SP2",
               "N|0004|Recife|N|0004|NE1"});
    addLookup("nulls kept", "GetPesqFilial", {"OL02"}, filial, {"N|0003|Curitiba|null|null|SUL"});
    addLookup("operator with no branches", "GetPesqFilial", {"OL03"}, filial, {});

    addLookup("runs that took items", "GetPesqConsol", {"OL01", 0, 0, "T", 0, 0, "T"},
              {"IDMARCADO", "NRSEQUCONSOL", "DTINICONSSOLOL", "DTFINCONSSOLOL"},
              {"N|C1|" + day(1, 1) + "|" + day(1, 7), "N|C2|" + day(1, 8) + "|" + day(1, 14)});
    addLookup("delivery range", "GetPesqConsol",
              {"OL01", at(1, 13), at(1, 20), "", 0, 0, "T"}, {"NRSEQUCONSOL"}, {"C2"});
    addLookup("delivery day with time of day", "GetPesqConsol",
              {"OL01", at(1, 12, 0.9), at(1, 12, 0.1), "", 0, 0, "T"}, {"NRSEQUCONSOL"}, {"C1"});
    addLookup("request day", "GetPesqConsol",
              {"OL01", 0, 0, "T", at(1, 4), at(1, 4), ""}, {"NRSEQUCONSOL"}, {"C1"});
    addLookup("both ranges", "GetPesqConsol",
              {"OL01", at(1, 15), at(1, 15), "", at(1, 4), at(1, 4), ""}, {"NRSEQUCONSOL"}, {});
    addLookup("other operator", "GetPesqConsol", {"OL02", 0, 0, "T", 0, 0, "T"},
              {"NRSEQUCONSOL"}, {"C3"});
    addLookup("operator without runs", "GetPesqConsol", {"OL03", 0, 0, "T", 0, 0, "T"},
              {"NRSEQUCONSOL"}, {});
}

void tst_RdmAcomPOLMethods::lookups()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QString, method);
    QFETCH(QJsonArray, params);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);
    QCOMPARE(project(result(db, method, params), columns), rows);
}

void tst_RdmAcomPOLMethods::packetFields_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("params");
    QTest::addColumn<QString>("fields");

    const QList<std::tuple<QString, QJsonArray, QString>> methods = {
        {"GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), "CDFILSOLI:string:4 NMFILIAL:string:30"},
        {"GetSoli", soliAllOpen("0001", "OL01"),
         "NRSOLICMP:string:10 CDARVPROD:string:20 NMPRODUTO:string:50 SGUNIDADE:string:10 "
         "QTSOLIPROD:float DTPROGENTR:datetime IDITMCONS:string:1 NRSOLCMPCONS:string:10 "
         "IDSOLIAPROV:string:1 NMFILIAL:string:37 CDPRODUTO:string:10 CDPRODESTO:string:10 "
         "CDFILIOPELOG:string:4 VRFATOCONV:float NRSEQUCONSOL:string:15 IDPEDIDOOL:string:1"},
        {"GetProd", {"0001", "OL01", 0, "P2", "T", "C1"},
         "CDARVPROD:string:20 NMPRODUTO:string:50 SGUNIDADE:string:10 QTPROGENPEOL:float "
         "DTPROGENPEOL:datetime NRPEDEXOL:string:10 IDBAIXENPEOL:string:1 "
         "IDBAIXAOLSAI:string:1 CDFILDEST:string:4 CDFILLANC:string:4 CDMARCA:string:5 "
         "DTPROGEMBARQ:datetime CDPRODUTO:string:10 VRFATOCONV:float"},
        {"GetProdOL", {"0001", "0001", "PD03", 0, "P3", "M1", "OL01", 0},
         "PRODARVOL:string:73 QUANT_ESTOQUE:float ESTOQ_DISPO:float QTRESERVESTOL:float "
         "RESERVA_ITEM:float"},
        {"GetFiliOL", {}, "CDFILIOPELOG:string:4 NMFILIAL:string:30"},
        {"GetVdFiliOL", {"ZZZZ"}, "CDFILIOPELOG:string:4 NMFILIAL:string:30"},
        {"GetPesqFilial", {"OL03"},
         "IDMARCADO:string:1 CDFILIAL:string:4 NMFILIAL:string:30 IDCNTRRESC:string:1 "
         "CDFILCENTCMP:string:4 CDREGIAO:string:3"},
        {"GetPesqConsol", {"OL03", 0, 0, "T", 0, 0, "T"},
         "IDMARCADO:string:1 NRSEQUCONSOL:string:15 DTINICONSSOLOL:datetime "
         "DTFINCONSSOLOL:datetime"},
        {"GetResumoFiliais", joined({filiSoliGridAllOpen("OL03"), {0}}),
         "CDFILSOLI:string:4 NMFILIAL:string:30 QTITENS:integer QTCONSOL:integer "
         "QTPEDIDO:integer QTMAIOR:integer QTMENOR:integer QTIGUAL:integer "
         "QTATRASOPED:integer QTATRASOEMB:integer QTESTNEG:integer"},
        {"GetSituacaoSoli", joined({soliAllOpen("0001", "OL01"), {0}}),
         "NRSOLICMP:string:10 CDPRODUTO:string:10 IDSITUACAO:integer"},
    };
    for (const QString &db : databases()) {
        for (const auto &[method, params, fields] : methods)
            QTest::addRow("%s: %s", qPrintable(db), qPrintable(method))
                << db << method << params << fields;
    }
}

// Field lists hold even when no row comes back: the client's data sets
// match columns by name.
void tst_RdmAcomPOLMethods::packetFields()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QString, method);
    QFETCH(QJsonArray, params);
    QFETCH(QString, fields);
    QStringList described;
    for (const QJsonValue &f : result(db, method, params).value("fields").toArray()) {
        const QJsonObject o = f.toObject();
        QString text = o.value("name").toString() + u':' + o.value("type").toString();
        if (o.contains("size"))
            text += u':' + QString::number(o.value("size").toInt());
        described << text;
    }
    QCOMPARE(described.join(u' '), fields);
}

void tst_RdmAcomPOLMethods::cadeiaPedidos_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QVariantMap>("criteria");
    QTest::addColumn<QStringList>("rows");

    const QString none = "null|null|null|null|null";
    const QString c = "0001|Campinas|", s = "0002|Santos|", cu = "0003|Curitiba|";
    const QList<std::tuple<const char *, QVariantMap, QStringList>> cases = {
        {"every item, its lines by date, number, brand, and their stock",
         {},
         {c + "S001|P1|PD01|M1|10|10|0|C|0909001|4", c + "S001|P4|null|null|2|" + none,
          c + "S002|P2|PD05|M1|10|11|1|A|0101002|0", c + "S002|P2|PD02|M1|10|11|1|A|0101002|1.5",
          c + "S002|P2|PD02|M2|10|11|1|A|0101002|2", c + "S003|P3|PD03|M1|8|6|-2|B|null|null",
          c + "S004|P4|null|null|3|" + none, c + "S006|P2|null|null|4|" + none,
          s + "S007|P1|null|null|6|" + none, "0004|Recife|S011|P4|null|null|7|" + none}},
        {"stock product and a direct delivery of a served branch",
         {{"stFilOL", "OL02"}},
         {s + "S008|P3|PD04|M1|12|12|0|C|null|null", cu + "S009|P1|PD06|M1|3|5|2|A|null|null",
          cu + "S010|P2|null|null|3|" + none}},
        {"smaller ordered, with the items without lines",
         {{"stQtdePedido", "B"}, {"stTFilSoli", ""}, {"stLFilSoli", "0001"}},
         {c + "S001|P4|null|null|2|" + none, c + "S003|P3|PD03|M1|8|6|-2|B|null|null",
          c + "S004|P4|null|null|3|" + none, c + "S006|P2|null|null|4|" + none}},
        {"nothing selected", {{"stTFilSoli", ""}, {"stLFilSoli", ""}}, {}},
    };
    for (const QString &db : databases()) {
        for (const auto &[name, criteria, rows] : cases)
            QTest::addRow("%s: %s", qPrintable(db), name) << db << criteria << rows;
    }
}

void tst_RdmAcomPOLMethods::cadeiaPedidos()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QVariantMap, criteria);
    QFETCH(QStringList, rows);
    const QJsonArray params = with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria);
    QCOMPARE(project(result(db, "GetCadeiaPedidos", params),
                     {"CDFILSOLI", "NMFILSOLI", "NRSOLICMP", "CDPRODUTO", "NRPEDEXOL", "CDMARCA",
                      "QTSOLIBASE", "QTPEDIBASE", "QTDIFERENCA", "IDCOMPARA", "PRODARVOL",
                      "RESERVA_ITEM"}),
             rows);
}

// What the window shows walking branch, request, order line and stock one
// call at a time, in the chain's column order.
QList<QJsonArray> tst_RdmAcomPOLMethods::walkedChain(const QString &db,
                                                     const QVariantMap &criteria)
{
    QVariantMap soliCriteria = criteria;
    soliCriteria.remove("stLFilSoli");
    soliCriteria.remove("stTFilSoli");
    soliCriteria.insert("ED", QString());
    const QString ol = criteria.value("stFilOL", "OL01").toString();
    const QString qtde = criteria.value("stQtdePedido", "T").toString();
    const auto rowsOf = [](const QJsonObject &packet) {
        QList<QJsonArray> rows;
        for (const QJsonValue &row : packet.value("rows").toArray())
            rows << row.toArray();
        return rows;
    };
    const auto nulls = [](int count) {
        QJsonArray a;
        for (int i = 0; i < count; ++i)
            a.append(QJsonValue::Null);
        return a;
    };
    constexpr int ProdColumns = 14, StockColumns = 5;
    QList<QJsonArray> chain;
    const QJsonArray gridParams = with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria);
    for (const QJsonArray &branch : rowsOf(result(db, "GetFiliSoliGrid", gridParams))) {
        const QString code = branch.at(0).toString();
        const QJsonArray soliParams = with("GetSoli", soliAllOpen(code, ol), soliCriteria);
        for (const QJsonArray &item : rowsOf(result(db, "GetSoli", soliParams))) {
            const double requested = item.at(4).toDouble() * item.at(13).toDouble();
            const QString consol = item.at(14).toString();
            QList<QJsonArray> lines;
            if (!consol.trimmed().isEmpty())
                lines = rowsOf(result(db, "GetProd", {code, ol, item.at(5), item.at(11), qtde,
                                                      consol}));
            double ordered = 0;
            for (const QJsonArray &line : lines)
                ordered += line.at(3).toDouble() * line.at(13).toDouble();
            if (lines.isEmpty())
                chain << joined({branch, item, nulls(ProdColumns + StockColumns),
                                 {requested}, nulls(3)});
            for (const QJsonArray &line : lines) {
                const QList<QJsonArray> stock = rowsOf(result(
                    db, "GetProdOL", {line.at(8), line.at(9), line.at(5), item.at(5),
                                      line.at(12), line.at(10), ol, line.at(11)}));
                const QString letter = ordered > requested ? "A" : ordered < requested ? "B"
                                                                                       : "C";
                chain << joined({branch, item, line,
                                 stock.isEmpty() ? nulls(StockColumns) : stock.first(),
                                 {requested, ordered, ordered - requested, letter}});
            }
        }
    }
    return chain;
}

void tst_RdmAcomPOLMethods::cadeiaAgreesWithWalk_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QVariantMap>("criteria");
    const QList<QPair<const char *, QVariantMap>> cases = {
        {"all open", {}},
        {"other operator", {{"stFilOL", "OL02"}}},
        {"direct delivery only", {{"stStatus", "S"}}},
        {"order generated, greater or equal", {{"stPedGerado", "S"}, {"stQtdePedido", "D"}}},
        {"branch list and delivery range",
         {{"stTFilSoli", ""}, {"stLFilSoli", "0001,0004"}, {"stDtEntr", ""},
          {"DtEntrIni", at(1, 10)}, {"DtEntrFin", at(1, 15)}}},
        {"products and consolidations",
         {{"stProd", ""}, {"stProdIni", "0101"}, {"stProdFin", "0202" + Z16},
          {"stTodasConsol", ""}, {"stListaConsol", "C1,C3"}, {"stFilOL", "OL02"}}},
    };
    for (const QString &db : databases()) {
        for (const auto &[name, criteria] : cases)
            QTest::addRow("%s: %s", qPrintable(db), name) << db << criteria;
    }
}

void tst_RdmAcomPOLMethods::cadeiaAgreesWithWalk()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QVariantMap, criteria);
    const QList<QJsonArray> walked = walkedChain(db, criteria);
    const QJsonArray params = with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria);
    const QJsonArray rows = result(db, "GetCadeiaPedidos", params).value("rows").toArray();
    QCOMPARE(rows.size(), walked.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).toArray(), walked.at(i));
}

void tst_RdmAcomPOLMethods::cadeiaRowLimit()
{
    QString error;
    const auto database = FixtureDatabase::create(FixtureDatabase::Kind::SQLite,
                                                  QStringLiteral(VEX_SERVER_FIXTURE), &error);
    QVERIFY2(database, qPrintable(error));
    AppServerProcess server;
    QVERIFY2(server.start(database->url(), {"--max-chain-rows", "3"}, &error), qPrintable(error));
    RpcTestClient client;
    QVERIFY(client.connectTo(server.port()));
    const QString method = "GetCadeiaPedidos";
    const QJsonObject refused = client.call(method, filiSoliGridAllOpen("OL01"));
    QCOMPARE(refused.value("error").toObject().value("code").toInt(), -32000);
    QVERIFY2(refused.value("error").toObject().value("message").toString().contains("3 linhas"),
             qPrintable(QJsonDocument(refused).toJson()));
    const QJsonObject fits = client.call(method, filiSoliGridAllOpen("OL02"));
    QCOMPARE(fits.value("result").toObject().value("rows").toArray().size(), 3);
    QCOMPARE(server.terminate(), 0);
}

// The counts worked out from the walk above, item by item, in
// GetResumoFiliais' column order; the chain's packet names its columns.
QStringList tst_RdmAcomPOLMethods::walkedCounts(const QString &db, const QVariantMap &criteria,
                                                double dtRef)
{
    const QJsonArray params = with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria);
    QStringList names;
    for (const QJsonValue &f : result(db, "GetCadeiaPedidos", params).value("fields").toArray())
        names << f.toObject().value("name").toString();
    const double day = std::floor(dtRef);
    QMap<QString, std::array<bool, 9>> items; // by branch and item, in the grid's order
    for (const QJsonArray &row : walkedChain(db, criteria)) {
        const auto v = [&](const char *name) { return row.at(names.indexOf(name)); };
        const auto before = [&](const char *name) {
            return !v(name).isNull() && v(name).toDouble() < day;
        };
        const auto is = [&](const char *name, const char *value) {
            return v(name).toString() == QLatin1String(value);
        };
        const bool ordered = is("IDPEDIDOOL", "S");
        const bool open = !v("NRPEDEXOL").isNull() && !is("IDBAIXAOLSAI", "2")
            && !is("IDBAIXAOLSAI", "3");
        const QStringList key{v("CDFILSOLI").toString(), v("NMFILSOLI").toString(),
                              v("NRSOLICMP").toString(), v("CDPRODUTO").toString()};
        std::array<bool, 9> &f = items[key.join(u'|')];
        f = {true, !v("NRSEQUCONSOL").toString().trimmed().isEmpty(), ordered,
             is("IDCOMPARA", "A"), is("IDCOMPARA", "B"), is("IDCOMPARA", "C"),
             !ordered && !is("CDFILIOPELOG", "") && before("DTPROGENTR"),
             f[7] || (open && before("DTPROGEMBARQ")),
             f[8] || (open && !v("ESTOQ_DISPO").isNull() && v("ESTOQ_DISPO").toDouble() < 0)};
    }
    QMap<QString, std::array<int, 9>> branches;
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        for (int i = 0; i < 9; ++i)
            branches[it.key().section(u'|', 0, 1)][i] += it.value()[i];
    }
    QStringList counts;
    for (auto it = branches.cbegin(); it != branches.cend(); ++it) {
        QStringList row{it.key()};
        for (int n : it.value())
            row << QString::number(n);
        counts << row.join(u'|');
    }
    return counts;
}

void tst_RdmAcomPOLMethods::resumoFiliais_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QVariantMap>("criteria");
    QTest::addColumn<double>("dtRef");
    QTest::addColumn<QStringList>("handWorked"); // empty: the walk alone

    // Items, consolidated, ordered, greater, smaller, equal, overdue
    // without an order, shipping overdue, negative stock. Direct deliveries
    // are never overdue; a day equal to DtRef is not before it.
    const QString c = "0001|Campinas|6|3|3|1|1|1|", s = "0002|Santos|1|1|0|0|0|0|",
                  r = "0004|Recife|1|0|0|0|0|0|0|0|0";
    const QList<std::tuple<const char *, QVariantMap, double, QStringList>> cases = {
        {"delivery day on DtRef, its time of day ignored", {}, at(1, 11, 0.75),
         {c + "0|2|1", s + "0|0|0", r}},
        {"shipping day on DtRef", {}, at(1, 10), {c + "0|1|1", s + "0|0|0", r}},
        {"a fortnight on: overdue items, a blank run among them", {}, at(2, 1),
         {c + "2|2|1", s + "1|0|0", r}},
        {"other operator: an open line without a stock row", {{"stFilOL", "OL02"}}, at(1, 12),
         {"0002|Santos|1|1|1|0|0|1|0|0|0", "0003|Curitiba|2|1|1|1|0|0|0|1|0"}},
        {"direct deliveries only", {{"stStatus", "S"}}, at(2, 1), {}},
        {"consolidated, ordered greater or equal",
         {{"stItemConsol", "S"}, {"stQtdePedido", "D"}}, at(2, 1), {}},
        {"branch list, delivery range, products",
         {{"stTFilSoli", ""}, {"stLFilSoli", "0001,0002"}, {"stDtEntr", ""},
          {"DtEntrIni", at(1, 10)}, {"DtEntrFin", at(1, 12)}, {"stProd", ""},
          {"stProdIni", "0101"}, {"stProdFin", "0101" + Z16}},
         at(1, 11), {}},
        {"nothing selected", {{"stTodasConsol", ""}, {"stListaConsol", ""}}, at(2, 1), {}},
    };
    for (const QString &db : databases()) {
        for (const auto &[name, criteria, dtRef, rows] : cases)
            QTest::addRow("%s: %s", qPrintable(db), name) << db << criteria << dtRef << rows;
    }
}

void tst_RdmAcomPOLMethods::resumoFiliais()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    QFETCH(QVariantMap, criteria);
    QFETCH(double, dtRef);
    QFETCH(QStringList, handWorked);
    const QJsonArray params = joined(
        {with("GetFiliSoliGrid", filiSoliGridAllOpen("OL01"), criteria), {dtRef}});
    const QStringList counts = project(
        result(db, "GetResumoFiliais", params),
        {"CDFILSOLI", "NMFILIAL", "QTITENS", "QTCONSOL", "QTPEDIDO", "QTMAIOR", "QTMENOR",
         "QTIGUAL", "QTATRASOPED", "QTATRASOEMB", "QTESTNEG"});
    QCOMPARE(counts, walkedCounts(db, criteria, dtRef));
    if (!handWorked.isEmpty())
        QCOMPARE(counts, handWorked);
    checkSituations(db, criteria, dtRef, counts);
}

// GetSituacaoSoli lists the items GetSoli lists, and its situations, summed
// item by item, give each branch's counts.
void tst_RdmAcomPOLMethods::checkSituations(const QString &db, QVariantMap criteria,
                                            double dtRef, const QStringList &branches)
{
    criteria.remove("stTFilSoli");
    criteria.remove("stLFilSoli");
    for (const QString &branch : branches) {
        const QStringList code = branch.section(u'|', 0, 1).split(u'|');
        const QJsonArray soli = with("GetSoli", soliAllOpen(code.at(0), "OL01"), criteria);
        const QJsonObject items = result(db, "GetSituacaoSoli", joined({soli, {dtRef}}));
        const QStringList keys{"NRSOLICMP", "CDPRODUTO"};
        QStringList listed = project(result(db, "GetSoli", soli), keys);
        listed.sort();
        QCOMPARE(project(items, keys), listed);
        std::array<int, 9> n{};
        for (const QString &bits : project(items, {"IDSITUACAO"})) {
            n[0] += 1;
            for (int bit = 0; bit < 8; ++bit)
                n[bit + 1] += (bits.toInt() >> bit) & 1;
        }
        QStringList row = code;
        for (int count : n)
            row << QString::number(count);
        QCOMPARE(row.join(u'|'), branch);
    }
}

QTEST_GUILESS_MAIN(tst_RdmAcomPOLMethods)
#include "tst_rdmacompol_methods.moc"
