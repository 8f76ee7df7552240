#include "DemoData.h"
#include "FreshDatabase.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace VexDb;

namespace {

const QDate kToday(2025, 6, 15);
const double kScale = 0.05;

// Values of every row of every demo table, in key order, hashed.
QByteArray checksum(QSqlDatabase &db)
{
    const QList<QPair<QString, QString>> tables = {
        {"FILIAL", "CDFILIAL"},
        {"PRODUTO", "CDPRODUTO"},
        {"CONSOLOL", "NRSEQUCONSOL"},
        {"SOLICMP", "NRSOLICMP, CDPRODUTO"},
        {"PEDIDOOL", "NRPEDEXOL, CDFILDEST, CDPRODUTO, CDMARCA"},
        {"ESTOQUEOL", "CDFILIOPELOG, CDPRODUTO, CDMARCA"}};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QSqlQuery q(db);
    for (const auto &[table, key] : tables) {
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, key)))
            return {};
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                hash.addData((q.value(i).toString() + QLatin1Char('\x1f')).toUtf8());
        }
    }
    return hash.result().toHex();
}

qint64 scalar(QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next()) {
        qWarning() << sql << q.lastError().text();
        return -1;
    }
    return q.value(0).toLongLong();
}

QStringList column(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    QStringList values;
    if (!q.exec(sql))
        qWarning() << sql << q.lastError().text();
    while (q.next())
        values << (q.value(0).isNull() ? QStringLiteral("<null>") : q.value(0).toString());
    return values;
}

bool writeDemo(QSqlDatabase &db, quint32 seed, QString *error, bool replace = false)
{
    DemoOptions options;
    options.scale = kScale;
    options.seed = seed;
    options.today = kToday;
    options.replace = replace;
    return DemoData::write(db, options, {}, nullptr, error);
}

// Per request item: ordered and requested base units, over the item's links.
const char *const kItemTotals =
    "SELECT S.QTSOLIPROD * S.VRFATOCONV AS REQ, SUM(P.QTPROGENPEOL * P.VRFATOCONV) AS ORD,"
    " COUNT(*) AS LINES"
    " FROM SOLICMP S JOIN PEDIDOOL P ON P.NRSEQUCONSOL = S.NRSEQUCONSOL"
    " AND P.CDFILIOPELOG = S.CDFILIOPELOG AND P.CDFILDEST = S.CDFILSOLI"
    " AND P.CDPRODUTO = S.CDPRODESTO"
    " GROUP BY S.NRSOLICMP, S.CDPRODUTO, S.QTSOLIPROD, S.VRFATOCONV";

} // namespace

class tst_DemoData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameSeedSameRows_data() { rows(); }
    void sameSeedSameRows();
    void settlementStatesAllPresent_data() { rows(); }
    void settlementStatesAllPresent();
    void orderedAgainstRequested_data() { rows(); }
    void orderedAgainstRequested();
    void productCodesFitPicture_data() { rows(); }
    void productCodesFitPicture();
    void branchesAndDates_data() { rows(); }
    void branchesAndDates();
    void linksHold_data() { rows(); }
    void linksHold();
    void stockReservations_data() { rows(); }
    void stockReservations();
    void refusesFilledDatabase_data() { rows(); }
    void refusesFilledDatabase();
    void failureLeavesNothing_data() { rows(); }
    void failureLeavesNothing();
    void badScaleRefused_data();
    void badScaleRefused();

private:
    static void rows()
    {
        QTest::addColumn<int>("kind");
        FreshDatabase::addRows();
    }
    // One demo database per kind, shared by the read-only checks.
    QSqlDatabase &demo(FreshDatabase::Kind kind);

    std::unique_ptr<FreshDatabase> m_demo[2];
};

QSqlDatabase &tst_DemoData::demo(FreshDatabase::Kind kind)
{
    auto &slot = m_demo[int(kind)];
    if (!slot) {
        slot = std::make_unique<FreshDatabase>(kind);
        QString error;
        if (!slot->db().isOpen() || !writeDemo(slot->db(), 42, &error))
            qFatal("demo database: %s %s", qPrintable(slot->error()), qPrintable(error));
    }
    return slot->db();
}

#define VEX_DEMO(db)                                                                     \
    QFETCH(int, kind);                                                                   \
    if (FreshDatabase::Kind(kind) == FreshDatabase::Kind::PostgreSQL)                    \
        VEX_SKIP_WITHOUT_POSTGRES();                                                     \
    QSqlDatabase &db = demo(FreshDatabase::Kind(kind))

void tst_DemoData::sameSeedSameRows()
{
    VEX_FRESH_DATABASE(first);
    FreshDatabase second{FreshDatabase::Kind(kind)};
    QVERIFY2(second.db().isOpen(), qPrintable(second.error()));
    QString error;
    DemoCounts c1, c2;
    DemoOptions options;
    options.scale = kScale;
    options.seed = 7;
    options.today = kToday;
    QVERIFY2(DemoData::write(first.db(), options, {}, &c1, &error), qPrintable(error));
    QVERIFY2(DemoData::write(second.db(), options, {}, &c2, &error), qPrintable(error));
    const QByteArray sum = checksum(first.db());
    QVERIFY(!sum.isEmpty());
    QCOMPARE(checksum(second.db()), sum);
    QCOMPARE(c1.requestItems, c2.requestItems);
    QCOMPARE(c1.orderLines, c2.orderLines);
    // About 20,000 items per scale unit, counted as written.
    QVERIFY2(qAbs(c1.requestItems - 20000 * kScale) <= 20000 * kScale * 0.05,
             qPrintable(QString::number(c1.requestItems)));
    QCOMPARE(scalar(first.db(), "SELECT COUNT(*) FROM SOLICMP"), c1.requestItems);
    QCOMPARE(scalar(first.db(), "SELECT COUNT(*) FROM PEDIDOOL"), c1.orderLines);

    // Another seed, other movements; same scale, same amount roughly.
    options.seed = 8;
    options.replace = true;
    QVERIFY2(DemoData::write(second.db(), options, {}, &c2, &error), qPrintable(error));
    QVERIFY(checksum(second.db()) != sum);
}

void tst_DemoData::settlementStatesAllPresent()
{
    VEX_DEMO(db);
    for (const char *col : {"IDBAIXENPEOL", "IDBAIXAOLSAI"}) {
        const QStringList states =
            column(db, QStringLiteral("SELECT DISTINCT %1 FROM PEDIDOOL").arg(col));
        for (const char *state : {"1", "2", "3", "<null>"})
            QVERIFY2(states.contains(state), qPrintable(QString("%1 %2").arg(col, state)));
        const QStringList known = {"1", "2", "3", "<null>"};
        QVERIFY2(std::any_of(states.begin(), states.end(),
                             [&](const QString &s) { return !known.contains(s); }),
                 qPrintable(states.join(',')));
    }
    // Nothing leaves the operator before it entered.
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM PEDIDOOL WHERE IDBAIXAOLSAI IN ('2', '3')"
                        " AND (IDBAIXENPEOL IS NULL OR IDBAIXENPEOL NOT IN ('1', '2', '3'))"),
             0);
}

void tst_DemoData::orderedAgainstRequested()
{
    VEX_DEMO(db);
    QSqlQuery q(db);
    QVERIFY2(q.exec(kItemTotals), qPrintable(q.lastError().text()));
    int above = 0, below = 0, equal = 0, twoLines = 0;
    while (q.next()) {
        const double requested = q.value(0).toDouble();
        const double ordered = q.value(1).toDouble();
        QVERIFY(ordered > 0);
        above += ordered > requested;
        below += ordered < requested;
        equal += ordered == requested;
        twoLines += q.value(2).toInt() == 2;
        QVERIFY(q.value(2).toInt() <= 2);
    }
    QVERIFY2(above > 0 && below > 0 && equal > 0,
             qPrintable(QString("%1 %2 %3").arg(above).arg(below).arg(equal)));
    QVERIFY(twoLines > 0);
    // Most consolidated items carry an order, not all.
    const qint64 consolidated =
        scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE NRSEQUCONSOL <> ''");
    const qint64 ordered = above + below + equal;
    QVERIFY2(ordered > consolidated / 2 && ordered < consolidated,
             qPrintable(QString("%1 of %2").arg(ordered).arg(consolidated)));
}

void tst_DemoData::productCodesFitPicture()
{
    VEX_DEMO(db);
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT CDARVPROD, CDNVPRODUTO, NMPRODUTO, SGUNIDADE FROM PRODUTO"));
    QSet<QString> trees;
    QList<QString> items;
    const QStringList units = {"UN", "CX", "KG", "LT", "PCT", "FD"};
    while (q.next()) {
        const QString tree = q.value(0).toString();
        const int level = q.value(1).toInt();
        QVERIFY2(level >= 1 && level <= 3, qPrintable(tree));
        // 99.99.9999 without its literals: 2, 4 or 8 digits.
        const int length = level == 1 ? 2 : level == 2 ? 4 : 8;
        QVERIFY2(QRegularExpression(QString("^[0-9]{%1}$").arg(length))
                     .match(tree).hasMatch(), qPrintable(tree));
        QVERIFY(!q.value(2).toString().trimmed().isEmpty());
        QVERIFY(q.value(2).toString().size() <= 50);
        if (level == 3) {
            QVERIFY2(units.contains(q.value(3).toString()), qPrintable(q.value(3).toString()));
            items << tree;
        }
        trees.insert(tree);
    }
    QVERIFY(items.size() >= 100);
    for (const QString &item : items) {
        QVERIFY2(trees.contains(item.left(4)) && trees.contains(item.left(2)),
                 qPrintable(item));
    }
}

void tst_DemoData::branchesAndDates()
{
    VEX_DEMO(db);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM FILIAL WHERE IDOPELOG = 'S'"), 3);
    const qint64 requesting = scalar(db, "SELECT COUNT(*) FROM FILIAL WHERE IDOPELOG = 'N'");
    QVERIFY(requesting >= 35 && requesting <= 45);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM FILIAL WHERE IDOPELOG = 'N'"
                       " AND CDFILIOPELOG IS NULL") > 0);
    // Branches whose items all go direct, and direct items elsewhere too.
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM FILIAL F WHERE F.IDOPELOG = 'N' AND NOT EXISTS"
                       " (SELECT 1 FROM SOLICMP S WHERE S.CDFILSOLI = F.CDFILIAL"
                       " AND S.CDFILIOPELOG IS NOT NULL)") >= 2);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP S JOIN FILIAL F ON F.CDFILIAL ="
                       " S.CDFILSOLI WHERE S.CDFILIOPELOG IS NULL"
                       " AND F.CDFILIOPELOG IS NOT NULL") > 0);

    const QVariantList yearAgo{kToday.addDays(-366)};
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTSOLICMP < ?", yearAgo), 0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTSOLICMP > ?", {kToday}), 0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTPROGENTR <= DTSOLICMP"), 0);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTPROGENTR > ?", {kToday}) > 0);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTSOLICMP > ?",
                   {kToday.addDays(-14)}) > 0);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE DTSOLICMP < ?",
                   {kToday.addDays(-300)}) > 0);
}

void tst_DemoData::linksHold()
{
    VEX_DEMO(db);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP S WHERE NOT EXISTS (SELECT 1 FROM"
                        " PRODUTO P WHERE P.CDPRODUTO = S.CDPRODUTO AND P.CDNVPRODUTO = 3)"
                        " OR NOT EXISTS (SELECT 1 FROM PRODUTO P WHERE"
                        " P.CDPRODUTO = S.CDPRODESTO AND P.CDNVPRODUTO = 3)"
                        " OR NOT EXISTS (SELECT 1 FROM FILIAL F WHERE F.CDFILIAL = S.CDFILSOLI"
                        " AND F.IDOPELOG = 'N')"),
             0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP S WHERE S.CDFILIOPELOG IS NOT NULL AND"
                        " NOT EXISTS (SELECT 1 FROM FILIAL F WHERE F.CDFILIAL = S.CDFILIOPELOG"
                        " AND F.IDOPELOG = 'S')"),
             0);
    // A consolidated item belongs to a run of its operator covering its date.
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP S WHERE S.NRSEQUCONSOL <> '' AND NOT"
                        " EXISTS (SELECT 1 FROM CONSOLOL C WHERE"
                        " C.NRSEQUCONSOL = S.NRSEQUCONSOL AND C.CDFILIOPELOG = S.CDFILIOPELOG"
                        " AND S.DTSOLICMP BETWEEN C.DTINICONSSOLOL AND C.DTFINCONSSOLOL)"),
             0);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE IDITMCONS = 'S'") > 0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SOLICMP WHERE (IDITMCONS = 'S') <>"
                        " (NRSEQUCONSOL IS NOT NULL AND NRSEQUCONSOL <> '')"),
             0);
    // Every order line belongs to exactly one request item.
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM PEDIDOOL P WHERE 1 <> (SELECT COUNT(*) FROM"
                        " SOLICMP S WHERE P.NRSEQUCONSOL = S.NRSEQUCONSOL"
                        " AND P.CDFILIOPELOG = S.CDFILIOPELOG AND P.CDFILDEST = S.CDFILSOLI"
                        " AND P.CDPRODUTO = S.CDPRODESTO)"),
             0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM PEDIDOOL P WHERE P.DTPROGEMBARQ < P.DTPROGENPEOL"
                        " OR NOT EXISTS (SELECT 1 FROM FILIAL F WHERE"
                        " F.CDFILIAL = P.CDFILLANC)"),
             0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM ESTOQUEOL E WHERE NOT EXISTS (SELECT 1 FROM"
                        " PRODUTO P WHERE P.CDPRODUTO = E.CDPRODREL AND P.CDNVPRODUTO = 3)"),
             0);
}

void tst_DemoData::stockReservations()
{
    VEX_DEMO(db);
    const qint64 orderedKeys = scalar(
        db, "SELECT COUNT(*) FROM (SELECT DISTINCT CDFILIOPELOG, CDPRODUTO, CDMARCA"
            " FROM PEDIDOOL) K");
    const qint64 stock = scalar(db, "SELECT COUNT(*) FROM ESTOQUEOL");
    QVERIFY2(stock > orderedKeys / 2 && stock < orderedKeys,
             qPrintable(QString("%1 of %2").arg(stock).arg(orderedKeys)));
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM ESTOQUEOL WHERE QTRESERVESTOL > 0") > 0);
    // The operator's reservation is the sum of its order lines' reservations.
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM ESTOQUEOL E WHERE E.QTRESERVESTOL <>"
                        " (SELECT SUM(P.QTRESERVITEM) FROM PEDIDOOL P WHERE"
                        " P.CDFILIOPELOG = E.CDFILIOPELOG AND P.CDPRODUTO = E.CDPRODUTO"
                        " AND P.CDMARCA = E.CDMARCA)"),
             0);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM ESTOQUEOL WHERE QTESTOQUE < 0"), 0);
}

void tst_DemoData::refusesFilledDatabase()
{
    VEX_FRESH_DATABASE(fresh);
    QString error;
    QVERIFY2(writeDemo(fresh.db(), 3, &error), qPrintable(error));
    const QByteArray sum = checksum(fresh.db());
    QVERIFY(!writeDemo(fresh.db(), 4, &error));
    QVERIFY2(error.contains("--replace"), qPrintable(error));
    QCOMPARE(checksum(fresh.db()), sum);
    // Replacing with the same seed gives the same company again.
    QVERIFY2(writeDemo(fresh.db(), 3, &error, true), qPrintable(error));
    QCOMPARE(checksum(fresh.db()), sum);
}

void tst_DemoData::failureLeavesNothing()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(writeDemo(db, 5, &error), qPrintable(error));
    // Stock is written last; a rule it breaks fails the run at its very end.
    QSqlQuery q(db);
    QVERIFY(q.exec("DELETE FROM ESTOQUEOL"));
    QVERIFY(q.exec("CREATE UNIQUE INDEX UX_TEST_STOCK ON ESTOQUEOL (CDPRODREL)"));
    const QByteArray before = checksum(db);
    QVERIFY(!writeDemo(db, 6, &error, true));
    QVERIFY2(error.contains("ESTOQUEOL"), qPrintable(error));
    // The clearing and every row written before the failure are undone.
    QCOMPARE(checksum(db), before);
    QVERIFY(scalar(db, "SELECT COUNT(*) FROM SOLICMP") > 0);
}

void tst_DemoData::badScaleRefused_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -1.0;
    QTest::newRow("too big") << 1e6;
    QTest::newRow("nan") << std::nan("");
}

void tst_DemoData::badScaleRefused()
{
    QFETCH(double, scale);
    FreshDatabase fresh(FreshDatabase::Kind::SQLite);
    QVERIFY(fresh.db().isOpen());
    DemoOptions options;
    options.scale = scale;
    QString error;
    QVERIFY(!DemoData::write(fresh.db(), options, {}, nullptr, &error));
    QVERIFY2(error.contains("scale"), qPrintable(error));
    QCOMPARE(fresh.db().tables(), QStringList()); // nothing created
}

QTEST_GUILESS_MAIN(tst_DemoData)
#include "tst_demodata.moc"
