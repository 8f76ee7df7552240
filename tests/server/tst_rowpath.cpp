// The server's row path: the packet writer, the date reader and the
// statement cache reading rows in place, on SQLite and on PostgreSQL.
#include "PgStatements.h"
#include "RdmAcomPOL.h"
#include "SelectionSql.h"
#include "ServerErrors.h"
#include "StatementCache.h"

#include "Database.h"
#include "TDataPacketWriter.h"
#include "VexErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

const QList<TPacketField> OneString = {{QStringLiteral("NMPRODUTO"), TFieldType::ftString, 50}};
const QList<TPacketField> OneFloat = {{QStringLiteral("QTSOLIPROD"), TFieldType::ftFloat, 0}};

// The single value of a one-row, one-column packet, parsed back.
QJsonValue onlyValue(const QByteArray &packet)
{
    const QJsonObject object = QJsonDocument::fromJson(packet).object();
    return object.value("rows").toArray().at(0).toArray().at(0);
}

QByteArray written(const QList<TPacketField> &fields,
                   const std::function<void(TDataPacketWriter &)> &cells)
{
    QByteArray out;
    TDataPacketWriter w(out);
    w.begin(fields);
    w.beginRow();
    cells(w);
    w.endRow();
    w.end();
    return out;
}

} // namespace

class tst_RowPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void columnTables();
    void argumentSizes_data();
    void argumentSizes();

    void strings_data();
    void strings();
    void numbers_data();
    void numbers();
    void refusals_data();
    void refusals();
    void sameTextAsPacket();
    void isoDay_data();
    void isoDay();
    void placeholders_data();
    void placeholders();
    void cursor_data();
    void cursor();
    void databaseErrors_data();
    void databaseErrors();

private:
    QSqlDatabase open(const QString &kind);

    QTemporaryDir m_dir;
};

void tst_RowPath::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_RowPath::strings_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "Óleo de Girassol 900 ml";
    QTest::newRow("ascii") << "0001";
    QTest::newRow("empty") << "";
    QTest::newRow("quote and backslash") << "a\"b\\c";
    QTest::newRow("controls") << QString("l1\nl2\r\t\b\f") + QChar(1) + QChar(0x1f);
    QTest::newRow("non-BMP") << QString::fromUtf8("caixa \xF0\x9F\x93\xA6 fim");
}

// Both the QString and the UTF-8 entry points give valid JSON holding the
// same text, on one line.
void tst_RowPath::strings()
{
    QFETCH(QString, text);
    const QByteArray viaString = written(OneString, [&](TDataPacketWriter &w) { w.string(text); });
    const QByteArray viaUtf8 =
        written(OneString, [&](TDataPacketWriter &w) { w.utf8(text.toUtf8()); });
    QCOMPARE(viaString, viaUtf8);
    QVERIFY(!viaString.contains('\n'));
    QCOMPARE(onlyValue(viaString).toString(), text);
}

void tst_RowPath::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("whole") << 46000.0 << QByteArray("46000");
    QTest::newRow("tenth") << 0.1 << QByteArray("0.1");
    QTest::newRow("negative") << -12.5 << QByteArray("-12.5");
    QTest::newRow("third") << 1.0 / 3 << QByteArray("0.3333333333333333");
    QTest::newRow("tiny") << 5e-324 << QByteArray("5e-324");
    QTest::newRow("large") << 1.7976931348623157e308 << QByteArray("1.7976931348623157e+308");
}

// Shortest text that reads back as the same double.
void tst_RowPath::numbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    const QByteArray out = written(OneFloat, [&](TDataPacketWriter &w) { w.number(value); });
    QVERIFY2(out.contains("[[" + text + "]]"), out.constData());
    QCOMPARE(onlyValue(out).toDouble(), value);
}

void tst_RowPath::refusals_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("infinity") << 0 << "QTSOLIPROD";
    QTest::newRow("nan") << 1 << "QTSOLIPROD";
    QTest::newRow("short row") << 2 << "esperados 1";
    QTest::newRow("long row") << 3 << "mais de 1";
}

void tst_RowPath::refusals()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    try {
        written(OneFloat, [&](TDataPacketWriter &w) {
            switch (kind) {
            case 0: w.number(std::numeric_limits<double>::infinity()); break;
            case 1: w.number(std::nan("")); break;
            case 2: break;
            default: w.number(1); w.number(2);
            }
        });
        QFAIL("no error");
    } catch (const EDataPacketError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

// The server's rows and a packet's own text are one format.
void tst_RowPath::sameTextAsPacket()
{
    TDataPacket p;
    p.fields = {{QStringLiteral("CDFILSOLI"), TFieldType::ftString, 4},
                {QStringLiteral("QTSOLIPROD"), TFieldType::ftFloat, 0},
                {QStringLiteral("DTPROGENTR"), TFieldType::ftDateTime, 0},
                {QStringLiteral("NRITENS"), TFieldType::ftInteger, 0}};
    p.rows = {{QStringLiteral("0001"), 12.5, 46000.0, qint64(3)},
              {QVariant(), QVariant(), QVariant(), QVariant()}};
    QByteArray out;
    TDataPacketWriter w(out);
    w.begin(p.fields);
    w.beginRow();
    w.utf8("0001");
    w.number(12.5);
    w.day(QDate(2025, 12, 9)); // day 46000
    w.integer(3);
    w.endRow();
    w.beginRow();
    w.null();
    w.null();
    w.day(QDate());
    w.null();
    w.endRow();
    w.end();
    QCOMPARE(out, p.toJsonText());
    QCOMPARE(w.rowCount(), 2);
}

void tst_RowPath::isoDay_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDate>("day");
    QTest::newRow("date") << QByteArray("2026-12-04") << QDate(2026, 12, 4);
    QTest::newRow("with time") << QByteArray("2026-12-04 10:30:00") << QDate(2026, 12, 4);
    QTest::newRow("leap day") << QByteArray("2024-02-29") << QDate(2024, 2, 29);
    QTest::newRow("not a day") << QByteArray("2025-02-29") << QDate();
    QTest::newRow("month 13") << QByteArray("2026-13-01") << QDate();
    QTest::newRow("letters") << QByteArray("2026-1a-01") << QDate();
    QTest::newRow("short") << QByteArray("2026-12-4") << QDate();
    QTest::newRow("slashes") << QByteArray("04/12/2026") << QDate();
    QTest::newRow("empty") << QByteArray() << QDate();
}

void tst_RowPath::isoDay()
{
    QFETCH(QByteArray, text);
    QFETCH(QDate, day);
    QCOMPARE(SqlCursor::isoDay(text), day);
}

void tst_RowPath::placeholders_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QByteArray>("numbered");
    QTest::addColumn<int>("count");
    QTest::newRow("none") << "SELECT 1" << QByteArray("SELECT 1") << 0;
    QTest::newRow("three") << "a = ? AND b IN (?, ?)" << QByteArray("a = $1 AND b IN ($2, $3)")
                           << 3;
    QTest::newRow("in a literal") << "a = '?' AND b = ?" << QByteArray("a = '?' AND b = $1") << 1;
    QTest::newRow("doubled quote") << "a = 'it''s ?' OR b = ?"
                                   << QByteArray("a = 'it''s ?' OR b = $1") << 1;
    QTest::newRow("quoted name") << "SELECT \"x?\" FROM t WHERE c = ?"
                                 << QByteArray("SELECT \"x?\" FROM t WHERE c = $1") << 1;
    QTest::newRow("ten") << "?,?,?,?,?,?,?,?,?,?" << QByteArray("$1,$2,$3,$4,$5,$6,$7,$8,$9,$10")
                         << 10;
}

void tst_RowPath::placeholders()
{
    QFETCH(QString, sql);
    QFETCH(QByteArray, numbered);
    QFETCH(int, count);
    int found = -1;
    QCOMPARE(PgStatements::numberedPlaceholders(sql, &found), numbered);
    QCOMPARE(found, count);
}

QSqlDatabase tst_RowPath::open(const QString &kind)
{
    const QString url = kind == "sqlite" ? "sqlite:" + m_dir.filePath("rows.db")
                                         : qEnvironmentVariable("VEX_TEST_PG_URL");
    QString error;
    QSqlDatabase db = VexDb::open(
        url, QStringLiteral("rowpath-%1-%2").arg(kind, QTest::currentTestFunction()), &error);
    if (!db.isOpen())
        qWarning("%s", qPrintable(error));
    return db;
}

void addPerDatabase(const char *name)
{
    for (const char *kind : {"sqlite", "postgresql"})
        QTest::newRow(QByteArray(name).append(" / ").append(kind)) << QString::fromLatin1(kind);
}

void tst_RowPath::cursor_data()
{
    QTest::addColumn<QString>("kind");
    addPerDatabase("typed values");
}

// Text, numbers, dates and nulls read in place, with bound values; the
// statement is reused for a second run with other binds.
void tst_RowPath::cursor()
{
    QFETCH(QString, kind);
    if (kind == "postgresql" && qEnvironmentVariableIsEmpty("VEX_TEST_PG_URL")) {
        if (qEnvironmentVariableIsSet("VEX_TEST_REQUIRE_PG"))
            QFAIL("VEX_TEST_REQUIRE_PG is set but VEX_TEST_PG_URL is not");
        QSKIP("VEX_TEST_PG_URL not set: PostgreSQL row skipped");
    }
    QSqlDatabase db = open(kind);
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    QVERIFY2(q.exec("CREATE TEMP TABLE ROWPATH_T (CD VARCHAR(4), NM VARCHAR(30),"
                    " QT DOUBLE PRECISION, DT DATE)"),
             qPrintable(q.lastError().text()));
    QVERIFY(q.exec("INSERT INTO ROWPATH_T VALUES ('0001', 'Óleo \"fino\"', 0.1, '2026-12-04'),"
                   " ('0002', NULL, NULL, NULL), ('0003', 'x', -2.5, '2024-02-29')"));
    {
        StatementCache cache(db);
        const SqlStatement st{"SELECT CD, NM, QT, DT FROM ROWPATH_T WHERE CD >= ? ORDER BY CD",
                              {QStringLiteral("0001")}};
        SqlCursor &rows = cache.run(st);
        QVERIFY(rows.next());
        QCOMPARE(rows.text(0), QByteArrayView("0001"));
        QCOMPARE(QString::fromUtf8(rows.text(1)), QStringLiteral("Óleo \"fino\""));
        QCOMPARE(rows.real(2), 0.1);
        QCOMPARE(rows.day(3), QDate(2026, 12, 4));
        QVERIFY(rows.next());
        QVERIFY(rows.isNull(1) && rows.isNull(2) && rows.isNull(3));
        QVERIFY(!rows.isNull(0));
        QVERIFY(rows.next());
        QCOMPARE(rows.real(2), -2.5);
        QVERIFY(!rows.next());
        QVERIFY(!rows.next());

        SqlCursor &again = cache.run({st.text, {QStringLiteral("0003")}});
        QVERIFY(again.next());
        QCOMPARE(again.text(0), QByteArrayView("0003"));
        again.finish();
        QVERIFY(!again.next());
        QCOMPARE(cache.size(), 1);
    }
    QVERIFY(q.exec("DROP TABLE ROWPATH_T"));
}

void tst_RowPath::databaseErrors_data()
{
    QTest::addColumn<QString>("kind");
    addPerDatabase("bad statement");
}

// A failed statement raises the database's text and leaves the cache
// usable.
void tst_RowPath::databaseErrors()
{
    QFETCH(QString, kind);
    if (kind == "postgresql" && qEnvironmentVariableIsEmpty("VEX_TEST_PG_URL")) {
        if (qEnvironmentVariableIsSet("VEX_TEST_REQUIRE_PG"))
            QFAIL("VEX_TEST_REQUIRE_PG is set but VEX_TEST_PG_URL is not");
        QSKIP("VEX_TEST_PG_URL not set: PostgreSQL row skipped");
    }
    QSqlDatabase db = open(kind);
    QVERIFY(db.isOpen());
    StatementCache cache(db);
    for (const QString &sql : {QStringLiteral("SELECT * FROM NO_SUCH_TABLE WHERE X = ?"),
                               QStringLiteral("SELEC 1")}) {
        try {
            cache.run({sql, {QStringLiteral("1")}});
            QFAIL("no error");
        } catch (const EDatabaseError &e) {
            QVERIFY(!e.message().isEmpty());
        }
    }
    SqlCursor &rows = cache.run({QStringLiteral("SELECT 'ok'"), {}});
    QVERIFY(rows.next());
    QCOMPARE(rows.text(0), QByteArrayView("ok"));
    QVERIFY(!rows.next());
}

// One table per method: the SELECT list, the packet fields and the ORDER BY
// come from it, in its order.
void tst_RowPath::columnTables()
{
    const ColumnTable &soli = SelectionSql::Columns::soli();
    QCOMPARE(soli.count(), 16);
    QCOMPARE(soli.packetFields().size(), 16);
    QCOMPARE(soli.indexOf(u"DTPROGENTR"), 5);
    const SqlStatement st = SelectionSql::soli("0001", Criteria::fromRaw([] {
        RawCriteria r;
        r.filOL = "OL01";
        r.stDtEntr = r.stDtSoli = r.stProd = r.tFilSoli = r.todasConsol = "T";
        r.status = r.itemConsol = r.pedGerado = r.qtdePedido = "T";
        return r;
    }()));
    QVERIFY2(st.text.endsWith(" ORDER BY 6, 1, 2"), qPrintable(st.text.right(40)));
    QVERIFY(st.text.startsWith("SELECT " + soli.selectList() + " FROM SOLICMP s"));
    for (qsizetype i = 0; i < soli.count(); ++i) {
        QCOMPARE(soli.packetFields().at(i).name, soli.columns().at(i).name);
        QCOMPARE(soli.packetFields().at(i).size, soli.columns().at(i).size);
    }
    QVERIFY(SelectionSql::prod("a", "b", "c", "d").text.endsWith(
        QStringLiteral(" ORDER BY o.DTPROGENPEOL, o.NRPEDEXOL, o.CDMARCA")));
    QCOMPARE(SelectionSql::Columns::soli().size(u"NMFILIAL"), 37);
}

void tst_RowPath::argumentSizes_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("param");
    QTest::addColumn<int>("size");
    QTest::newRow("ED fits NMFILIAL") << "GetSoli" << "ED" << 37;
    QTest::newRow("branch code") << "GetSoli" << "CDFILSOLI" << 4;
    QTest::newRow("product tree") << "GetFiliSoliGrid" << "stProdFin" << 20;
    QTest::newRow("switch") << "GetPesqConsol" << "stDtEntr" << 1;
    QTest::newRow("brand") << "GetProdOL" << "CDMARCA" << 5;
}

// Every text argument is checked against the size of what it fills: one
// over is refused (-32000, naming it), the size itself passes that check.
void tst_RowPath::argumentSizes()
{
    QFETCH(QString, method);
    QFETCH(QString, param);
    QFETCH(int, size);
    const RdmAcomPOL::Method *m = RdmAcomPOL::findMethod(method);
    QVERIFY(m);
    QJsonArray params;
    qsizetype at = -1;
    for (qsizetype i = 0; i < m->params.size(); ++i) {
        const ParamDef &p = m->params.at(i);
        if (QLatin1String(p.name) == param)
            at = i;
        params.append(p.kind == ParamKind::Date ? QJsonValue(0) : QJsonValue(""));
    }
    QVERIFY(at >= 0);
    params[at] = QString(size, u'x');
    RdmAcomPOL::checkParams(*m, params); // no throw
    params[at] = QString(size + 1, u'x');
    try {
        RdmAcomPOL::checkParams(*m, params);
        QFAIL("not refused");
    } catch (const EArgumentRefused &e) {
        QVERIFY2(e.message().contains(param) && e.message().contains(QString::number(size)),
                 qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(tst_RowPath)
#include "tst_rowpath.moc"
