// The branches' counts without the window: a broken answer refused, the
// bar's shares and the tooltip's figures. (Merging by branch, totals and
// the sheet "Resumo" are checked through the window and the export.)
#include "BranchSummary.h"

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
    void refusesABrokenAnswer_data();
    void refusesABrokenAnswer();
    void barShares_data();
    void barShares();
};

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
                               << QList<double>{0, 0, 0, 1}
                               << "Sem pedido vencidas: 1.500 (75,0%)";
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

QTEST_GUILESS_MAIN(tst_BranchSummary)
#include "tst_branchsummary.moc"
