#include "OleDate.h"

#include <QTest>

class tst_OleDate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toDateTime_data();
    void toDateTime();
    void invalid_data();
    void invalid();
};

void tst_OleDate::toDateTime_data()
{
    QTest::addColumn<double>("ole");
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QDate>("day"); // whole day, fraction dropped
    const auto dt = [](int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, mi, s));
    };
    QTest::newRow("zero") << 0.0 << dt(1899, 12, 30) << "30/12/1899" << QDate(1899, 12, 30);
    QTest::newRow("one") << 1.0 << dt(1899, 12, 31) << "31/12/1899" << QDate(1899, 12, 31);
    QTest::newRow("whole day") << 46000.0 << dt(2025, 12, 9) << "09/12/2025" << QDate(2025, 12, 9);
    QTest::newRow("noon") << 46000.5 << dt(2025, 12, 9, 12) << "09/12/2025 12:00:00"
                          << QDate(2025, 12, 9);
    QTest::newRow("quarter") << 0.25 << dt(1899, 12, 30, 6) << "30/12/1899 06:00:00"
                             << QDate(1899, 12, 30);
    QTest::newRow("before epoch") << -1.0 << dt(1899, 12, 29) << "29/12/1899"
                                  << QDate(1899, 12, 29);
    QTest::newRow("before epoch with time") << -1.25 << dt(1899, 12, 29, 6)
                                            << "29/12/1899 06:00:00" << QDate(1899, 12, 29);
    QTest::newRow("far before") << -36522.75 << dt(1800, 1, 1, 18) << "01/01/1800 18:00:00"
                                << QDate(1800, 1, 1);
    QTest::newRow("leap day") << 36585.0 << dt(2000, 2, 29) << "29/02/2000" << QDate(2000, 2, 29);
    QTest::newRow("second before midnight") << 46000.0 + 86399.0 / 86400
                                            << dt(2025, 12, 9, 23, 59, 59)
                                            << "09/12/2025 23:59:59" << QDate(2025, 12, 9);
    QTest::newRow("rounds into next day") << 46000.99999999999 << dt(2025, 12, 10)
                                          << "10/12/2025" << QDate(2025, 12, 9);
}

void tst_OleDate::toDateTime()
{
    QFETCH(double, ole);
    QFETCH(QDateTime, dateTime);
    QFETCH(QString, display);
    QCOMPARE(OleDate::toDateTime(ole), dateTime);
    QCOMPARE(OleDate::toDisplayText(ole), display);
    QTEST(OleDate::toDate(ole), "day");
    if (dateTime.date() == OleDate::toDate(ole)) { // exact fractions travel back unchanged
        QCOMPARE(OleDate::fromDateTime(dateTime), ole);
        QCOMPARE(OleDate::fromDate(dateTime.date()), std::trunc(ole));
    }
}

void tst_OleDate::invalid_data()
{
    QTest::addColumn<double>("ole");
    QTest::newRow("nan") << std::nan("");
    QTest::newRow("infinite") << HUGE_VAL;
    QTest::newRow("beyond year 9999") << 1e12;
}

void tst_OleDate::invalid()
{
    QFETCH(double, ole);
    QVERIFY(!OleDate::toDateTime(ole).isValid());
    QVERIFY(!OleDate::toDate(ole).isValid());
    QCOMPARE(OleDate::toDisplayText(ole), QString());
}

QTEST_GUILESS_MAIN(tst_OleDate)
#include "tst_oledate.moc"
