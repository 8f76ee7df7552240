// Spreadsheet export of a data set: read back by independent readers
// (openpyxl, Python's csv module), and the file left alone by a cancel or
// a failure.
#include "data/DataSetSheet.h"
#include "data/ExportFile.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "OleDate.h"
#include "VexErrors.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString TrickyName = QStringLiteral("Mercado \"Bom; Preço\"\nFilial Sé");
const QString FormulaLike = QStringLiteral("=SOMA(A1)");

// Four rows: a plain one, quoting, nulls, a formula-looking text.
void fill(TClientDataSet &ds)
{
    TField *name = ds.AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 40);
    name->SetDisplayLabel(QStringLiteral("Nome"));
    ds.AddField(QStringLiteral("QTSOLIPROD"), TFieldType::ftFloat)
        ->SetDisplayLabel(QStringLiteral("Quantidade"));
    ds.AddField(QStringLiteral("DTPROGENTR"), TFieldType::ftDateTime)
        ->SetDisplayLabel(QStringLiteral("Data de Entrega"));
    TField *code = ds.AddField(QStringLiteral("IDSOLIAPROV"), TFieldType::ftString, 1);
    code->SetDisplayLabel(QStringLiteral("Aprovada"));
    code->OnGetText = [](TField *f, QString &text, bool) {
        text = f->AsString() == u"S" ? QStringLiteral("Sim") : QStringLiteral("Não");
    };
    TDataPacket packet;
    packet.fields = {{"NMFILIAL", TFieldType::ftString, 40}, {"QTSOLIPROD", TFieldType::ftFloat},
                     {"DTPROGENTR", TFieldType::ftDateTime}, {"IDSOLIAPROV", TFieldType::ftString, 1}};
    const double day = OleDate::fromDate(QDate(2025, 1, 10));
    packet.rows = {{QStringLiteral("Campinas"), 1234.5, day, QStringLiteral("S")},
                   {TrickyName, -0.125, day + 31, QStringLiteral("N")},
                   {QVariant(), QVariant(), QVariant(), QVariant()},
                   {FormulaLike, 1e6, day, QStringLiteral("S")}};
    ds.LoadFromPacket(packet);
}

QJsonValue runReader(const QString &kind, const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral(VEX_PYTHON3), {QStringLiteral(VEX_EXPORT_READER), kind, path});
    reader.waitForFinished(60000);
    const QByteArray out = reader.readAllStandardOutput();
    if (reader.exitCode() != 0)
        qWarning().noquote() << reader.readAllStandardError();
    const QJsonDocument doc = QJsonDocument::fromJson(out);
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

// One text column whose rows come in parts, one held at a time.
class PartedSheet final : public ExportSheet
{
public:
    explicit PartedSheet(QList<QStringList> parts) : m_parts(std::move(parts)) {}
    QString name() const override { return QStringLiteral("Partes"); }
    QList<ExportColumn> columns() const override { return {{QStringLiteral("Código")}}; }
    int rowCount() const override { return int(m_parts.at(m_at).size()); }
    void readRow(int index, QList<ExportCell> &cells) const override
    {
        cells = {ExportCell::ofText(m_parts.at(m_at).at(index))};
    }
    bool nextPart() override
    {
        if (m_at + 1 >= m_parts.size())
            return false;
        m_parts[m_at++].clear(); // what a real part would free
        return true;
    }
    int partCount() const override { return int(m_parts.size()); }

private:
    QList<QStringList> m_parts;
    qsizetype m_at = 0;
};

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}
} // namespace

class tst_Export : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void xlsxReadBack();
    void csvReadBack();
    void stopped_data();
    void stopped();
    void inParts_data();
    void inParts();
};

void tst_Export::xlsxReadBack()
{
    TClientDataSet ds;
    fill(ds);
    ds.SortBy(QStringLiteral("QTSOLIPROD"), Qt::DescendingOrder);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saída.xlsx"));
    DataSetSheet grid(QStringLiteral("Solicitação"), &ds, ds.Fields());
    DataSetSheet second(QStringLiteral("Filial: 0001/[A]"), &ds, {ds.Fields().first()});
    QVERIFY(ExportFile::write(path, ExportFormat::Xlsx, {&grid, &second}));
    QCOMPARE(entries(dir.path()), QStringList{"saída.xlsx"});

    const QJsonArray sheets = runReader(QStringLiteral("xlsx"), path).toArray();
    QCOMPARE(sheets.size(), 2);
    const QJsonObject s = sheets.at(0).toObject();
    QCOMPARE(s.value("name").toString(), QStringLiteral("Solicitação"));
    QCOMPARE(sheets.at(1).toObject().value("name").toString(), QStringLiteral("Filial- 0001--A-"));
    QCOMPARE(s.value("freeze").toString(), QStringLiteral("A2"));
    QCOMPARE(s.value("filter").toString(), QStringLiteral("A1:D5"));
    QVERIFY(s.value("headerBold").toBool());
    // As sorted on screen: nulls come first ascending, so last here.
    const auto cell = [](const QString &type, const QString &format, const QJsonValue &v) {
        return QJsonArray{type, format, v};
    };
    const QString num = QStringLiteral("#,##0.000"), date = QStringLiteral("dd/mm/yyyy");
    const QJsonValue null;
    const QJsonArray expected{
        QJsonArray{cell("s", "General", "Nome"), cell("s", "General", "Quantidade"),
                   cell("s", "General", "Data de Entrega"), cell("s", "General", "Aprovada")},
        QJsonArray{cell("s", "General", FormulaLike), cell("n", num, 1e6),
                   cell("d", date, "2025-01-10"), cell("s", "General", "Sim")},
        QJsonArray{cell("s", "General", "Campinas"), cell("n", num, 1234.5),
                   cell("d", date, "2025-01-10"), cell("s", "General", "Sim")},
        QJsonArray{cell("s", "General", TrickyName), cell("n", num, -0.125),
                   cell("d", date, "2025-02-10"), cell("s", "General", "Não")},
        QJsonArray{cell("n", "General", null), cell("n", "General", null),
                   cell("n", "General", null), cell("s", "General", "Não")},
    };
    const QJsonArray rows = s.value("rows").toArray();
    QCOMPARE(rows.size(), expected.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).toArray(), expected.at(i).toArray());
}

void tst_Export::csvReadBack()
{
    TClientDataSet ds;
    fill(ds);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saída.csv"));
    DataSetSheet sheet(QStringLiteral("Solicitação"), &ds, ds.Fields());
    QVERIFY(ExportFile::write(path, ExportFormat::Csv, {&sheet}));
    const QJsonObject back = runReader(QStringLiteral("csv"), path).toObject();
    QVERIFY(back.value("bom").toBool());
    const QJsonArray expected{
        QJsonArray{"Nome", "Quantidade", "Data de Entrega", "Aprovada"},
        QJsonArray{"Campinas", "1234,5", "10/01/2025", "Sim"},
        QJsonArray{TrickyName, "-0,125", "10/02/2025", "Não"},
        QJsonArray{"", "", "", "Não"},
        // A text a spreadsheet would run as a formula stays text.
        QJsonArray{"'" + FormulaLike, "1000000", "10/01/2025", "Sim"},
    };
    QCOMPARE(back.value("rows").toArray(), expected);
}

void tst_Export::stopped_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("how");
    for (const ExportFormat f : {ExportFormat::Xlsx, ExportFormat::Csv}) {
        const QByteArray name = ExportFile::formatName(f).toUtf8();
        for (const char *how : {"cancel", "row fails", "target is a folder"})
            QTest::addRow("%s: %s", name.constData(), how) << f << QString::fromLatin1(how);
    }
}

// Neither a cancel nor a failure leaves a file behind or touches the old one.
void tst_Export::stopped()
{
    QFETCH(ExportFormat, format);
    QFETCH(QString, how);
    TClientDataSet ds;
    fill(ds);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("relatório.") + ExportFile::formatName(format));
    const QByteArray old("planilha anterior");
    if (how == u"target is a folder") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pasta")));
        path = dir.filePath(QStringLiteral("pasta"));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
    }
    const QStringList before = entries(dir.path());
    if (how == u"row fails") {
        ds.Fields().first()->OnGetText = [](TField *f, QString &, bool) {
            if (f->IsNull())
                throw EVexError(QStringLiteral("linha ilegível"));
        };
    }
    DataSetSheet sheet(QStringLiteral("Solicitação"), &ds, ds.Fields());
    bool written = true;
    QString error;
    try {
        written = ExportFile::write(path, format, {&sheet},
                                    [&](qint64, qint64) { return how != u"cancel"; });
    } catch (const EVexError &e) {
        error = e.message();
    }
    QVERIFY(!written || !error.isEmpty());
    QCOMPARE(error.isEmpty(), how == u"cancel");
    QCOMPARE(entries(dir.path()), before);
    if (how != u"target is a folder") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
}

void tst_Export::inParts_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::newRow("xlsx") << ExportFormat::Xlsx;
    QTest::newRow("csv") << ExportFormat::Csv;
}

// Every part's rows, in order, under one header; the filter and the
// progress cover them all.
void tst_Export::inParts()
{
    QFETCH(ExportFormat, format);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("partes.") + ExportFile::formatName(format));
    PartedSheet sheet({{"a", "b"}, {}, {"c", "d", "e"}, {"f"}});
    qint64 lastDone = -1, lastTotal = -1;
    bool behind = false;
    QVERIFY(ExportFile::write(path, format, {&sheet}, [&](qint64 done, qint64 total) {
        behind = behind || total < done;
        lastDone = done;
        lastTotal = total;
        return true;
    }));
    QVERIFY(!behind);
    QCOMPARE(lastDone, 6);
    QCOMPARE(lastTotal, 6);
    const QJsonValue back = runReader(ExportFile::formatName(format), path);
    QStringList codes;
    if (format == ExportFormat::Csv) {
        for (const QJsonValue &row : back.toObject().value("rows").toArray())
            codes << row.toArray().first().toString();
    } else {
        const QJsonObject first = back.toArray().first().toObject();
        QCOMPARE(first.value("filter").toString(), QStringLiteral("A1:A7"));
        for (const QJsonValue &row : first.value("rows").toArray())
            codes << row.toArray().first().toArray().at(2).toString();
    }
    QCOMPARE(codes, (QStringList{"Código", "a", "b", "c", "d", "e", "f"}));
}

QTEST_GUILESS_MAIN(tst_Export)
#include "tst_export.moc"
