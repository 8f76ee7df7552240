// The branches' counts without the window: reading GetResumoFiliais's
// packet, totals, the bar's shares and the sheet "Resumo".
#include "BranchSummary.h"
#include "BranchSummarySheet.h"

#include "VexErrors.h"

#include <QtTest>

namespace {
TDataPacket packet(const QList<QVariantList> &rows, const QString &without = {})
{
    TDataPacket p;
    p.fields = {{"CDFILSOLI", TFieldType::ftString, 4}, {"NMFILIAL", TFieldType::ftString, 30}};
    for (const CountColumn &column : countColumns()) {
        if (without != QLatin1String(column.name))
            p.fields.append({column.name, TFieldType::ftInteger, 0});
    }
    p.rows = rows;
    return p;
}

QVariantList row(const QString &code, const QList<double> &counts)
{
    QVariantList values{code, QStringLiteral("Filial ") + code};
    for (double n : counts)
        values << n;
    return values;
}

BranchCounts counts(const QList<qint64> &values)
{
    BranchCounts c;
    for (int i = 0; i < values.size(); ++i)
        c.values[size_t(i)] = values.at(i);
    return c;
}
} // namespace

class tst_BranchSummary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAndTotals();
    void refusesABrokenAnswer_data();
    void refusesABrokenAnswer();
    void barShares_data();
    void barShares();
    void summarySheet();
};

void tst_BranchSummary::readsAndTotals()
{
    const BranchSummary s = BranchSummary::fromPacket(packet(
        {row("0007", {10, 9, 8, 1, 2, 5, 1, 3, 0}), row("0002", {4, 0, 0, 0, 0, 0, 4, 0, 1})}));
    QCOMPARE(s.codes(), (QStringList{"0007", "0002"}));
    QVERIFY(!s.find("0001"));
    QCOMPARE((*s.find("0002"))[BranchCounts::OverdueWithoutOrder], 4);
    QCOMPARE(s.find("0007")->withoutOrder(), 2);
    const BranchCounts total = s.total();
    QCOMPARE(total.values, counts({14, 9, 8, 1, 2, 5, 5, 3, 1}).values);
}

void tst_BranchSummary::refusesABrokenAnswer_data()
{
    QTest::addColumn<TDataPacket>("broken");
    QTest::newRow("column missing") << packet({}, "QTESTNEG");
    QTest::newRow("negative") << packet({row("0001", {1, 0, 0, 0, 0, 0, 0, 0, -1})});
    QTest::newRow("fraction") << packet({row("0001", {1.5, 0, 0, 0, 0, 0, 0, 0, 0})});
    QTest::newRow("null") << packet({row("0001", {1, 0, 0, 0, 0, 0, 0, 0}) << QVariant()});
    QTest::newRow("infinite") << packet({row("0001", {qInf(), 0, 0, 0, 0, 0, 0, 0, 0})});
}

void tst_BranchSummary::refusesABrokenAnswer()
{
    QFETCH(TDataPacket, broken);
    QVERIFY_THROWS_EXCEPTION(EDataPacketError, BranchSummary::fromPacket(broken));
}

void tst_BranchSummary::barShares_data()
{
    QTest::addColumn<QList<qint64>>("values");
    QTest::addColumn<QList<double>>("shares"); // equal, above, below, without an order
    QTest::addColumn<QString>("hintLine");
    QTest::newRow("all kinds") << QList<qint64>{10, 7, 7, 2, 1, 4, 3, 0, 0}
                               << QList<double>{0.4, 0.2, 0.1, 0.3}
                               << "Sem pedido: 3 (30,0%)";
    QTest::newRow("all ordered") << QList<qint64>{3, 3, 3, 0, 0, 3, 0, 1, 0}
                                 << QList<double>{1, 0, 0, 0} << "Embarque vencido: 1 (33,3%)";
    QTest::newRow("no items") << QList<qint64>{0, 0, 0, 0, 0, 0, 0, 0, 0}
                              << QList<double>{0, 0, 0, 0} << "Igual: 0 (0,0%)";
    QTest::newRow("thousands") << QList<qint64>{2000, 0, 0, 0, 0, 0, 1500, 0, 0}
                               << QList<double>{0, 0, 0, 1} << "Sem pedido vencidas: 1.500 (75,0%)";
}

void tst_BranchSummary::barShares()
{
    QFETCH(QList<qint64>, values);
    QFETCH(QList<double>, shares);
    QFETCH(QString, hintLine);
    QList<double> actual;
    for (const BarSegment &part : BranchSummary::segments(counts(values)))
        actual << part.share;
    QCOMPARE(actual, shares);
    const QStringList hint = BranchSummary::hint(counts(values)).split(u'\n');
    QVERIFY2(hint.contains(hintLine), qPrintable(hint.join(" | ")));
}

void tst_BranchSummary::summarySheet()
{
    const BranchSummarySheet sheet(BranchSummary::fromPacket(packet(
        {row("0001", {3, 1, 1, 1, 0, 0, 2, 0, 0}), row("0002", {4, 4, 4, 0, 1, 3, 0, 1, 1})})));
    QCOMPARE(sheet.name(), QStringLiteral("Resumo"));
    QCOMPARE(sheet.columns().size(), 11);
    QCOMPARE(sheet.rowCount(), 3);
    QStringList lines;
    for (int r = 0; r < sheet.rowCount(); ++r) {
        QList<ExportCell> cells;
        sheet.readRow(r, cells);
        QStringList texts;
        for (const ExportCell &c : cells)
            texts << (c.kind == ExportCell::Kind::Count ? QString::number(c.number) : c.text);
        lines << texts.join(u'|');
    }
    QCOMPARE(lines, (QStringList{"0001|Filial 0001|3|1|1|1|0|0|2|0|0",
                                 "0002|Filial 0002|4|4|4|0|1|3|0|1|1",
                                 "Total||7|5|5|1|1|3|2|1|1"}));
}

QTEST_GUILESS_MAIN(tst_BranchSummary)
#include "tst_branchsummary.moc"
