#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "services/Exceptions.h"

#include <QSignalSpy>
#include <QTest>

namespace {

TPacketField col(const char *name, TFieldType type, int size = 0)
{
    return {QString::fromLatin1(name), type, size};
}

// CDFILIAL string 4, NMFILIAL string 10, QT float, DT datetime, NR integer.
TDataPacket branches(int rowCount)
{
    TDataPacket p;
    p.fields = {col("CDFILIAL", TFieldType::ftString, 4),
                col("NMFILIAL", TFieldType::ftString, 30),
                col("QT", TFieldType::ftFloat), col("DT", TFieldType::ftDateTime),
                col("NR", TFieldType::ftInteger), col("EXTRA", TFieldType::ftString, 3)};
    for (int i = 0; i < rowCount; ++i) {
        p.rows.append({QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')),
                       QStringLiteral("Filial %1").arg(i + 1), 1234.5 * (i + 1), 46000.0 + i,
                       qint64(i), QStringLiteral("x")});
    }
    return p;
}

void declareBranchFields(TClientDataSet &ds)
{
    ds.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    ds.AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 10);
    ds.AddField(QStringLiteral("QT"), TFieldType::ftFloat);
    ds.AddField(QStringLiteral("DT"), TFieldType::ftDateTime);
    ds.AddField(QStringLiteral("NR"), TFieldType::ftInteger);
}

} // namespace

class tst_ClientDataSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sorting_data();
    void sorting();
    void sortHoldsForTheNextLoad();
    void filter_data();
    void filter();
    void missingColumn();
    void conversion_data();
    void conversion();
    void conversionFailure_data();
    void conversionFailure();
    void nulls();
    void afterScrollOnLoad_data();
    void afterScrollOnLoad();
    void afterScrollExceptionKeepsRows();
    void moves_data();
    void moves();
    void eofLoop();
    void recordScope();
    void stateChangesReachDataSource();
    void dataSourceSwitch();
    void getTextStartsEmpty();
    void displayText_data();
    void displayText();
    void fieldChangesSignalled();
};

void tst_ClientDataSet::missingColumn()
{
    TClientDataSet ds(QStringLiteral("cdsFilial"));
    declareBranchFields(ds);
    ds.LoadFromPacket(branches(2));
    TDataPacket p = branches(1);
    p.fields[1].name = QStringLiteral("NOME");
    try {
        ds.LoadFromPacket(p);
        QFAIL("loaded a packet without NMFILIAL");
    } catch (const EDataPacketError &e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Coluna NMFILIAL ausente no pacote de dados de cdsFilial"));
    }
    QVERIFY(!ds.Active());
    QCOMPARE(ds.RecordCount(), 0);
    QVERIFY(ds.FieldByName(QStringLiteral("CDFILIAL"))->IsNull());
}

void tst_ClientDataSet::conversion_data()
{
    QTest::addColumn<int>("fieldType");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("packetValue");
    QTest::addColumn<QVariant>("stored");

    const int s = int(TFieldType::ftString);
    const int f = int(TFieldType::ftFloat);
    const int d = int(TFieldType::ftDateTime);
    const int n = int(TFieldType::ftInteger);
    QTest::newRow("string") << s << 4 << QVariant("0001") << QVariant("0001");
    QTest::newRow("string of its size") << s << 6 << QVariant("000123") << QVariant("000123");
    QTest::newRow("string unsized") << s << 0 << QVariant("000123") << QVariant("000123");
    QTest::newRow("integer into string") << s << 10 << QVariant(qint64(42)) << QVariant("42");
    QTest::newRow("float into string") << s << 10 << QVariant(0.1) << QVariant("0.1");
    QTest::newRow("float") << f << 0 << QVariant(12.5) << QVariant(12.5);
    QTest::newRow("integer into float") << f << 0 << QVariant(qint64(3)) << QVariant(3.0);
    QTest::newRow("numeric text into float") << f << 0 << QVariant("2.5") << QVariant(2.5);
    QTest::newRow("datetime") << d << 0 << QVariant(46000.25) << QVariant(46000.25);
    QTest::newRow("integer") << n << 0 << QVariant(qint64(-7)) << QVariant(qint64(-7));
    QTest::newRow("whole float into integer") << n << 0 << QVariant(8.0)
                                              << QVariant(qint64(8));
    QTest::newRow("text into integer") << n << 0 << QVariant("12") << QVariant(qint64(12));
}

void tst_ClientDataSet::conversion()
{
    QFETCH(int, fieldType);
    QFETCH(int, size);
    QFETCH(QVariant, packetValue);
    QFETCH(QVariant, stored);
    TClientDataSet ds(QStringLiteral("cds"));
    TField *field = ds.AddField(QStringLiteral("V"), TFieldType(fieldType), size);
    TDataPacket p;
    p.fields = {col("V", TFieldType::ftString)};
    p.rows = {{packetValue}};
    ds.LoadFromPacket(p);
    QCOMPARE(field->Value(), stored);
    QCOMPARE(field->Value().metaType(), stored.metaType());
}

void tst_ClientDataSet::conversionFailure_data()
{
    QTest::addColumn<int>("fieldType");
    QTest::addColumn<QVariant>("packetValue");
    QTest::newRow("text into float") << int(TFieldType::ftFloat) << QVariant("abc");
    QTest::newRow("text into datetime") << int(TFieldType::ftDateTime) << QVariant("09/12/2025");
    QTest::newRow("fraction into integer") << int(TFieldType::ftInteger) << QVariant(1.5);
    QTest::newRow("huge into integer") << int(TFieldType::ftInteger) << QVariant(1e19);
    QTest::newRow("bool into string") << int(TFieldType::ftString) << QVariant(true);
    QTest::newRow("list into float") << int(TFieldType::ftFloat) << QVariant(QVariantList{1});
    QTest::newRow("nan into float") << int(TFieldType::ftFloat) << QVariant(std::nan(""));
    // Never cut silently: a cut code would go back to the server as another code.
    QTest::newRow("string longer than its field")
        << int(TFieldType::ftString) << QVariant("12345678901");
    QTest::newRow("fixed char longer") << int(TFieldType::ftFixedChar) << QVariant("SN00000000X");
}

void tst_ClientDataSet::conversionFailure()
{
    QFETCH(int, fieldType);
    QFETCH(QVariant, packetValue);
    TClientDataSet ds(QStringLiteral("cdsProd"));
    ds.AddField(QStringLiteral("V"), TFieldType(fieldType), 10);
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    TDataPacket p;
    p.fields = {col("V", TFieldType::ftString)};
    p.rows = {{QVariant()}, {packetValue}};
    try {
        ds.LoadFromPacket(p);
        QFAIL("accepted an unconvertible value");
    } catch (const EDataPacketError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("campo V de cdsProd na linha 2")),
                 qPrintable(e.message()));
    }
    QVERIFY(!ds.Active());
    QCOMPARE(scrolls, 0);
}

void tst_ClientDataSet::nulls()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    TDataPacket p = branches(0);
    p.rows.append({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    ds.LoadFromPacket(p);
    for (TField *field : ds.Fields()) {
        QVERIFY(field->IsNull());
        QCOMPARE(field->AsString(), QString());
        QCOMPARE(field->DisplayText(), QString());
        QCOMPARE(field->AsFloat(), 0.0);
    }
}

void tst_ClientDataSet::afterScrollOnLoad_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("expectedScrolls");
    QTest::addColumn<int>("expectedRow");
    QTest::newRow("rows") << 3 << 1 << 0;
    QTest::newRow("one row") << 1 << 1 << 0;
    QTest::newRow("empty") << 0 << 0 << -1;
}

void tst_ClientDataSet::afterScrollOnLoad()
{
    QFETCH(int, rows);
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    QList<QString> seen; // the handler sees the rows in place
    ds.AfterScroll = [&](TClientDataSet *sender) {
        seen << sender->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    };
    for (int load = 1; load <= 2; ++load) { // a reload behaves as the first load
        ds.LoadFromPacket(branches(rows));
        QVERIFY(ds.Active());
        QCOMPARE(ds.IsEmpty(), rows == 0);
        QTEST(ds.CurrentRow(), "expectedRow");
        QTEST(int(seen.size()), "expectedScrolls");
        if (!seen.isEmpty())
            QCOMPARE(seen.takeFirst(), QStringLiteral("0001"));
    }
}

void tst_ClientDataSet::afterScrollExceptionKeepsRows()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    ds.AfterScroll = [](TClientDataSet *) { throw EVexError(QStringLiteral("nível abaixo")); };
    QVERIFY_THROWS_EXCEPTION(EVexError, ds.LoadFromPacket(branches(2)));
    QVERIFY(ds.Active());
    QCOMPARE(ds.RecordCount(), 2);
    QCOMPARE(ds.CurrentRow(), 0);
}

void tst_ClientDataSet::moves_data()
{
    QTest::addColumn<QString>("moves");  // letters: F first, L last, N next, P prior, digit MoveTo
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<int>("expectedScrolls");
    QTest::newRow("next") << "N" << 1 << 1;
    QTest::newRow("next past end") << "NNNNN" << 2 << 2;
    QTest::newRow("prior at start") << "P" << 0 << 0;
    QTest::newRow("first at start") << "F" << 0 << 0;
    QTest::newRow("last then last") << "LL" << 2 << 1;
    QTest::newRow("move to same row") << "00" << 0 << 0;
    QTest::newRow("move out of range clamps") << "9" << 2 << 1;
    QTest::newRow("there and back") << "2F" << 0 << 2;
    QTest::newRow("last prior") << "LP" << 1 << 2;
}

void tst_ClientDataSet::moves()
{
    QFETCH(QString, moves);
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    ds.LoadFromPacket(branches(3));
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    QSignalSpy rowSpy(&ds, &TClientDataSet::currentRowChanged);
    for (QChar c : moves) {
        switch (c.toLatin1()) {
        case 'F': ds.First(); break;
        case 'L': ds.Last(); break;
        case 'N': ds.Next(); break;
        case 'P': ds.Prior(); break;
        default: ds.MoveTo(c.digitValue());
        }
    }
    QTEST(ds.CurrentRow(), "expectedRow");
    QTEST(scrolls, "expectedScrolls");
    QCOMPARE(int(rowSpy.size()), scrolls);
}

void tst_ClientDataSet::eofLoop()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    QVERIFY(ds.Eof() && ds.Bof());
    ds.LoadFromPacket(branches(3));
    QStringList codes;
    for (ds.First(); !ds.Eof(); ds.Next())
        codes << ds.FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    QCOMPARE(codes, (QStringList{"0001", "0002", "0003"}));
    ds.LoadFromPacket(branches(0));
    QVERIFY(ds.Eof() && ds.Bof());
}

void tst_ClientDataSet::recordScope()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    ds.LoadFromPacket(branches(3));
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    TField *code = ds.FieldByName(QStringLiteral("CDFILIAL"));
    {
        TRecordScope painting(&ds, 2);
        QCOMPARE(code->AsString(), QStringLiteral("0003"));
        QCOMPARE(ds.ActiveRecord(), 2);
        {
            TRecordScope inner(&ds, 1);
            QCOMPARE(code->AsString(), QStringLiteral("0002"));
        }
        QCOMPARE(code->AsString(), QStringLiteral("0003"));
        TRecordScope outside(&ds, 7);
        QVERIFY(code->IsNull());
    }
    QCOMPARE(code->AsString(), QStringLiteral("0001"));
    QCOMPARE(ds.CurrentRow(), 0);
    QCOMPARE(scrolls, 0);
}

void tst_ClientDataSet::stateChangesReachDataSource()
{
    TClientDataSet ds(QStringLiteral("cdsFilial"));
    declareBranchFields(ds);
    TDataSource source;
    source.SetDataSet(&ds);
    QStringList log;
    source.OnStateChange = [&](TDataSource *sender) {
        log << QStringLiteral("%1:%2:%3")
                   .arg(sender->State() == TDataSetState::dsBrowse ? "browse" : "inactive")
                   .arg(sender->DataSet()->RecordCount())
                   .arg(sender->DataSet()->CurrentRow());
    };
    ds.AfterScroll = [&](TClientDataSet *) { log << QStringLiteral("scroll"); };
    QSignalSpy spy(&source, &TDataSource::stateChanged);

    ds.LoadFromPacket(branches(2));
    ds.LoadFromPacket(branches(0));
    ds.Close();
    ds.Close(); // already closed: no notification
    const QStringList expected{"browse:2:0", "scroll", "inactive:0:-1", "browse:0:-1",
                               "inactive:0:-1"};
    QCOMPARE(log, expected);
    QCOMPARE(int(spy.size()), 4);
    QCOMPARE(spy.last().at(0).value<TDataSetState>(), TDataSetState::dsInactive);
}

void tst_ClientDataSet::dataSourceSwitch()
{
    TClientDataSet open(QStringLiteral("a"));
    declareBranchFields(open);
    open.LoadFromPacket(branches(1));
    int changes = 0;
    TDataSource source;
    source.OnStateChange = [&](TDataSource *) { ++changes; };
    source.SetDataSet(&open);
    QCOMPARE(source.State(), TDataSetState::dsBrowse);
    QCOMPARE(changes, 1);
    source.SetDataSet(nullptr);
    QCOMPARE(source.State(), TDataSetState::dsInactive);
    QCOMPARE(changes, 2);
    open.Close(); // detached: no longer reported
    QCOMPARE(changes, 2);
    {
        TClientDataSet gone(QStringLiteral("b"));
        source.SetDataSet(&gone);
    }
    QCOMPARE(source.DataSet(), nullptr);
}

void tst_ClientDataSet::getTextStartsEmpty()
{
    TClientDataSet ds(QStringLiteral("cdsSoli"));
    declareBranchFields(ds);
    ds.LoadFromPacket(branches(2));
    TField *code = ds.FieldByName(QStringLiteral("CDFILIAL"));
    QList<bool> flags;
    code->OnGetText = [&](TField *sender, QString &text, bool displayText) {
        QVERIFY(text.isEmpty());
        flags << displayText;
        if (sender->AsString() == QLatin1String("0002"))
            text = QStringLiteral("segunda");
    };
    QCOMPARE(code->DisplayText(), QString()); // handler left it untouched
    QCOMPARE(code->EditText(), QString());
    ds.Next();
    QCOMPARE(code->DisplayText(), QStringLiteral("segunda"));
    QCOMPARE(flags, (QList<bool>{true, false, true}));
}

void tst_ClientDataSet::displayText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("format"); // display format, or edit mask for strings
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("edit");
    QTest::newRow("string") << "NMFILIAL" << "" << "Filial 2" << "Filial 2";
    QTest::newRow("masked string") << "CDFILIAL" << "99.99;0;_" << "00.02" << "00.02";
    QTest::newRow("float formatted") << "QT" << "#,##0.000" << "2.469,000" << "2.469,000";
    QTest::newRow("float general") << "QT" << "" << "2469" << "2469";
    QTest::newRow("datetime") << "DT" << "" << "10/12/2025" << "10/12/2025";
    QTest::newRow("integer") << "NR" << "" << "1" << "1";
    QTest::newRow("integer formatted") << "NR" << "000" << "001" << "001";
}

void tst_ClientDataSet::displayText()
{
    QFETCH(QString, field);
    QFETCH(QString, format);
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    ds.LoadFromPacket(branches(2));
    ds.Next();
    TField *f = ds.FieldByName(field);
    if (f->DataType() == TFieldType::ftString)
        f->SetEditMask(format);
    else
        f->SetDisplayFormat(format);
    QTEST(f->DisplayText(), "display");
    QTEST(f->EditText(), "edit");
}

void tst_ClientDataSet::fieldChangesSignalled()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareBranchFields(ds);
    QSignalSpy spy(&ds, &TClientDataSet::fieldsChanged);
    TField *f = ds.FieldByName(QStringLiteral("QT"));
    f->SetDisplayLabel(QStringLiteral("Quantidade"));
    f->SetDisplayFormat(QStringLiteral("0.00"));
    f->SetEditMask(QStringLiteral("0;0;_"));
    QCOMPARE(int(spy.size()), 3);
    QCOMPARE(f->DisplayLabel(), QStringLiteral("Quantidade"));
    QCOMPARE(ds.FieldByName(QStringLiteral("NR"))->DisplayLabel(), QStringLiteral("NR"));
    QVERIFY_THROWS_EXCEPTION(EVexError, ds.FieldByName(QStringLiteral("NADA")));
    QVERIFY_THROWS_EXCEPTION(EVexError, ds.AddField(QStringLiteral("qt"), TFieldType::ftFloat));
}

namespace {
// Codes, names, quantities, dates and a coded flag, in load order.
TDataPacket sortPacket()
{
    TDataPacket p;
    p.fields = {col("CODE", TFieldType::ftString, 4), col("QT", TFieldType::ftFloat),
                col("DT", TFieldType::ftDateTime), col("FLAG", TFieldType::ftString, 1)};
    p.rows = {{"0010", 9.5, 46002.0, "S"}, {"0002", 10.0, 46001.0, "N"},
              {"0100", QVariant(), 46003.0, "X"}, {"0001", -1.0, QVariant(), "S"}};
    return p;
}

void declareSortFields(TClientDataSet &ds)
{
    ds.AddField("CODE", TFieldType::ftString, 4);
    ds.AddField("QT", TFieldType::ftFloat);
    ds.AddField("DT", TFieldType::ftDateTime);
    // Coded like the screens' flags: sorted by the word shown, not the code.
    ds.AddField("FLAG", TFieldType::ftString, 1)->OnGetText = [](TField *f, QString &t, bool) {
        t = f->AsString() == QLatin1String("S") ? QStringLiteral("Sim") : QStringLiteral("Não");
    };
}

QStringList codes(TClientDataSet &ds)
{
    QStringList list;
    for (int row = 0; row < ds.RecordCount(); ++row)
        list << ds.RawValue(row, 0).toString();
    return list;
}
} // namespace

void tst_ClientDataSet::sorting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("codes as text") << "CODE" << false
                                   << QStringList{"0001", "0002", "0010", "0100"};
    QTest::newRow("codes descending") << "CODE" << true
                                      << QStringList{"0100", "0010", "0002", "0001"};
    QTest::newRow("numbers as numbers, null first") << "QT" << false
                                                    << QStringList{"0100", "0001", "0010", "0002"};
    QTest::newRow("dates as dates") << "DT" << true << QStringList{"0100", "0010", "0002", "0001"};
    QTest::newRow("coded by the word, ties in load order")
        << "FLAG" << false << QStringList{"0002", "0100", "0010", "0001"};
}

// Sorting keeps the current record current without an after-scroll, and
// clearing it gives back the load order.
void tst_ClientDataSet::sorting()
{
    QFETCH(QString, field);
    QFETCH(bool, descending);
    QFETCH(QStringList, order);
    TClientDataSet ds(QStringLiteral("cds"));
    declareSortFields(ds);
    ds.LoadFromPacket(sortPacket());
    ds.MoveTo(1);
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    ds.SortBy(field, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QCOMPARE(codes(ds), order);
    QCOMPARE(ds.FieldByName("CODE")->AsString(), QStringLiteral("0002"));
    QCOMPARE(scrolls, 0);
    ds.Next(); // the keyboard follows the order on screen
    QCOMPARE(ds.FieldByName("CODE")->AsString(), order.value(order.indexOf("0002") + 1,
                                                             QStringLiteral("0002")));
    ds.ClearSort();
    QCOMPARE(codes(ds), (QStringList{"0010", "0002", "0100", "0001"}));
}

void tst_ClientDataSet::sortHoldsForTheNextLoad()
{
    TClientDataSet ds(QStringLiteral("cds"));
    declareSortFields(ds);
    ds.SortBy("CODE", Qt::AscendingOrder);
    QString firstSeen;
    ds.AfterScroll = [&](TClientDataSet *d) { firstSeen = d->FieldByName("CODE")->AsString(); };
    ds.LoadFromPacket(sortPacket());
    QCOMPARE(firstSeen, QStringLiteral("0001"));
    QCOMPARE(ds.SortField(), QStringLiteral("CODE"));
}

void tst_ClientDataSet::filter_data()
{
    QTest::addColumn<QString>("sortField");
    QTest::addColumn<QString>("current"); // before the filter
    QTest::addColumn<QString>("flags");   // the rows that pass: flags among these
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("currentAfter");
    QTest::addColumn<int>("scrolls");
    const QStringList all{"0010", "0002", "0100", "0001"};
    QTest::newRow("current passes: stays, no scroll")
        << "" << "0001" << "S" << QStringList{"0010", "0001"} << "0001" << 0;
    QTest::newRow("current refused: the first that passes")
        << "" << "0002" << "S" << QStringList{"0010", "0001"} << "0010" << 1;
    QTest::newRow("in the sort's order") << "CODE" << "0100" << "SX"
                                         << QStringList{"0001", "0010", "0100"} << "0100" << 0;
    QTest::newRow("none passes: empty") << "" << "0010" << "Z" << QStringList{} << "" << 0;
    QTest::newRow("all pass") << "" << "0100" << "SNX" << all << "0100" << 0;
}

// Filtering, then a changed answer (Refilter), then no filter: every row
// back in the order in force, the current record kept where it can be.
void tst_ClientDataSet::filter()
{
    QFETCH(QString, sortField);
    QFETCH(QString, current);
    QFETCH(QString, flags);
    QFETCH(QStringList, shown);
    QFETCH(QString, currentAfter);
    QFETCH(int, scrolls);
    TClientDataSet ds(QStringLiteral("cds"));
    declareSortFields(ds);
    ds.LoadFromPacket(sortPacket());
    if (!sortField.isEmpty())
        ds.SortBy(sortField, Qt::AscendingOrder);
    const QStringList order = codes(ds);
    ds.MoveTo(int(order.indexOf(current)));
    int seen = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++seen; };
    QString accepted = flags;
    const auto byFlag = [&](TClientDataSet *d) {
        return accepted.contains(d->FieldByName("FLAG")->AsString());
    };
    ds.SetFilter(byFlag);
    QCOMPARE(codes(ds), shown);
    QCOMPARE(ds.RecordCount(), shown.size());
    QCOMPARE(ds.FieldByName("CODE")->AsString(), currentAfter);
    QCOMPARE(seen, scrolls);
    accepted = QStringLiteral("SNX");
    ds.Refilter();
    QCOMPARE(codes(ds), order);
    QCOMPARE(ds.FieldByName("CODE")->AsString(), currentAfter.isEmpty() ? order.first()
                                                                       : currentAfter);
    accepted = flags;
    ds.SetFilter({});
    QCOMPARE(codes(ds), order);
    ds.SetFilter(byFlag);
    ds.LoadFromPacket(sortPacket()); // the filter holds for the next load
    QCOMPARE(codes(ds), shown);
}

QTEST_GUILESS_MAIN(tst_ClientDataSet)
#include "tst_clientdataset.moc"
