#include "data/DisplayFormat.h"

#include <QTest>

#include <cmath>

class tst_DisplayFormat : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formatFloat_data();
    void formatFloat();
    void formatGeneral_data();
    void formatGeneral();
};

void tst_DisplayFormat::formatFloat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QString q = QStringLiteral("#,##0.000");
    QTest::newRow("grouped") << q << 1234.5 << "1.234,500";
    QTest::newRow("zero") << q << 0.0 << "0,000";
    QTest::newRow("negative zero") << q << -0.0 << "0,000";
    QTest::newRow("millions negative") << q << -1234567.8915 << "-1.234.567,892";
    QTest::newRow("rounds to zero, no sign") << q << -0.0004 << "0,000";
    QTest::newRow("half away from zero") << q << 0.0005 << "0,001";
    QTest::newRow("half away, negative") << q << -0.0005 << "-0,001";
    QTest::newRow("carry through groups") << q << 999999.9996 << "1.000.000,000";
    QTest::newRow("small") << q << 12.0 << "12,000";
    QTest::newRow("exact thousand") << q << 1000.0 << "1.000,000";
    QTest::newRow("binary noise") << q << 0.1 + 0.2 << "0,300";
    QTest::newRow("1.0005 as written") << q << 1.0005 << "1,001";
    QTest::newRow("large") << q << 1e15 << "1.000.000.000.000.000,000";
    QTest::newRow("plain 0.00") << "0.00" << 3.14159 << "3,14";
    QTest::newRow("0.00 below one") << "0.00" << 0.125 << "0,13";
    QTest::newRow("0.00 no grouping") << "0.00" << 12345.0 << "12345,00";
    QTest::newRow("integer grouped") << "#,##0" << 1234567.5 << "1.234.568";
    QTest::newRow("integer zero") << "#,##0" << 0.2 << "0";
    QTest::newRow("hash only zero") << "#.##" << 0.0 << "";
    QTest::newRow("hash fraction") << "#.##" << 0.5 << ",5";
    QTest::newRow("optional decimals") << "0.0#" << 2.5 << "2,5";
    QTest::newRow("optional decimals used") << "0.0#" << 2.567 << "2,57";
    QTest::newRow("min integer digits") << "000" << 7.0 << "007";
    QTest::newRow("more digits than placeholders") << "00" << 12345.0 << "12345";
    QTest::newRow("inner literal") << "00-00" << 1234.0 << "12-34";
    QTest::newRow("quoted prefix") << "'R$ '#,##0.00" << 1500.0 << "R$ 1.500,00";
    QTest::newRow("suffix") << "0.0 kg" << 2.25 << "2,3 kg";
    QTest::newRow("quoted placeholder stays literal") << "0 \"#0\"" << 5.0 << "5 #0";
    QTest::newRow("sections positive") << "0.0;(0.0);zero" << 1.25 << "1,3";
    QTest::newRow("sections negative") << "0.0;(0.0);zero" << -1.25 << "(1,3)";
    QTest::newRow("sections zero") << "0.0;(0.0);zero" << 0.01 << "zero";
    QTest::newRow("empty negative section") << "0.0;;zero" << -2.0 << "-2,0";
    QTest::newRow("empty format") << "" << 2.5 << "2,5";
    QTest::newRow("nan") << q << std::nan("") << "NAN";
    QTest::newRow("infinity") << q << -HUGE_VAL << "-INF";
}

void tst_DisplayFormat::formatFloat()
{
    QFETCH(QString, format);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(DisplayFormat::formatFloat(format, value), expected);
}

void tst_DisplayFormat::formatGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 46000.0 << "46000";
    QTest::newRow("decimal comma") << 12.5 << "12,5";
    QTest::newRow("15 digits") << 0.1 + 0.2 << "0,3";
    QTest::newRow("negative") << -3.75 << "-3,75";
    QTest::newRow("zero") << -0.0 << "0";
}

void tst_DisplayFormat::formatGeneral()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(DisplayFormat::formatGeneral(value), expected);
}

QTEST_GUILESS_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
