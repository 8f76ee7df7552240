// "Exportar..." of the tracking window against the real application server
// on the cascade's SQLite database, the files read back by openpyxl and
// Python's csv module.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TButtonFlat.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"
#include "forms/ExportDialog.h"
#include "services/Consiste.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {
QJsonValue readBack(const QString &kind, const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral(VEX_PYTHON3), {QStringLiteral(VEX_EXPORT_READER), kind, path});
    reader.waitForFinished(60000);
    if (reader.exitCode() != 0)
        qWarning().noquote() << reader.readAllStandardError();
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput());
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

// The chosen columns of every row, by header title, joined with '|'.
QStringList project(const QList<QStringList> &table, const QStringList &titles)
{
    QStringList rows;
    for (qsizetype r = 1; r < table.size(); ++r) {
        QStringList cells;
        for (const QString &title : titles)
            cells << table.at(r).value(table.first().indexOf(title), QStringLiteral("?"));
        rows << cells.join(u'|');
    }
    return rows;
}

// XLSX cells as text: the value, with its type and format for numbers/dates.
QList<QStringList> xlsxTable(const QJsonObject &sheet)
{
    QList<QStringList> table;
    for (const QJsonValue &row : sheet.value("rows").toArray()) {
        QStringList cells;
        for (const QJsonValue &c : row.toArray()) {
            const QJsonArray cell = c.toArray();
            const QString type = cell.at(0).toString();
            const QJsonValue v = cell.at(2);
            QString text = v.isNull() ? QString() : v.isDouble() ? QString::number(v.toDouble())
                                                                 : v.toString();
            if (!v.isNull() && type != u"s")
                text += u'@' + type + u':' + cell.at(1).toString();
            cells << text;
        }
        table << cells;
    }
    return table;
}

QList<QStringList> csvTable(const QJsonObject &file)
{
    QList<QStringList> table;
    for (const QJsonValue &row : file.value("rows").toArray()) {
        QStringList cells;
        for (const QJsonValue &c : row.toArray())
            cells << c.toString();
        table << cells;
    }
    return table;
}
// Rows that take their time, so the progress dialog comes up.
class SlowSheet final : public ExportSheet
{
public:
    QString name() const override { return QStringLiteral("Lenta"); }
    QList<ExportColumn> columns() const override { return {{QStringLiteral("N"), 8}}; }
    int rowCount() const override { return 5000; }
    void readRow(int index, QList<ExportCell> &cells) const override
    {
        QThread::msleep(1);
        cells = {ExportCell::ofNumber(index)};
    }
};
} // namespace

class tst_ExportWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void command();
    void exports_data();
    void exports();
    void cancelInProgress();
    void progressText_data();
    void progressText();

private:
    VexTest::AppServerProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
    QTemporaryDir m_dir;
};

void tst_ExportWindow::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(m_server.databaseUrl());
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window && m_window->netAcomPOL);
}

void tst_ExportWindow::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
    m_server.stop();
}

void tst_ExportWindow::init()
{
    VexTest::confirmEverything(m_window);
}

void tst_ExportWindow::command()
{
    auto *action = m_window->findChild<QAction *>(QStringLiteral("mnuExportar"));
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QVERIFY(m_window->mnuManutencao->actions().contains(action));
    auto *button = m_window->findChild<QWidget *>(QStringLiteral("sbtExportar"));
    QVERIFY(button);
    QVERIFY(button->x() > m_window->sbtFechar->x());
}

void tst_ExportWindow::exports_data()
{
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("summary"); // a first sheet "Resumo": its rows

    const QStringList chain{"Filial Solicitante", "Nº da Solicitação", "Quantidade",
                            "Data de Entrega", "Status", "Nº Pedido", "Baixa de Entrada",
                            "Pedido x Solicitado"};
    const QString num = "@n:#,##0.000", day = "@d:dd/mm/yyyy";
    QTest::newRow("whole filtering, xlsx")
        << 2 << "xlsx" << chain << "Toda a filtragem"
        << QStringList{"0001|R1|5" + num + "|2025-03-10" + day + "|OL|PED1|Baixa Parcial|Igual",
                       "0001|R1|5" + num + "|2025-03-10" + day + "|OL|PED2|Baixa Total|Igual",
                       "0001|R2|4" + num + "|2025-03-20" + day + "|OL|||",
                       "0002|R3|8" + num + "|2025-03-12" + day + "|OL|PED3|Em Aberto|Igual"}
        << QStringList{"0001|2@n:#,##0|1@n:#,##0|1@n:#,##0", "0002|1@n:#,##0|1@n:#,##0|0@n:#,##0",
                       "Total|3@n:#,##0|2@n:#,##0|1@n:#,##0"};
    QTest::newRow("current branch, csv")
        << 1 << "csv" << chain << ""
        << QStringList{"0001|R1|5|10/03/2025|OL|PED1|Baixa Parcial|Igual",
                       "0001|R1|5|10/03/2025|OL|PED2|Baixa Total|Igual",
                       "0001|R2|4|20/03/2025|OL|||"}
        << QStringList();
    QTest::newRow("request grid, xlsx")
        << 0 << "xlsx"
        << QStringList{"Nº da Solicitação", "Quantidade", "Aprovada", "Item Consolidado",
                       "Pedido Gerado"}
        << "Solicitação"
        << QStringList{"R1|5" + num + "|Sim|Sim|Sim", "R2|4" + num + "|Não|Não|Não"}
        << QStringList();
}

void tst_ExportWindow::exports()
{
    QFETCH(int, scope);
    QFETCH(QString, format);
    QFETCH(QStringList, titles);
    QFETCH(QString, sheet);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, summary);
    m_window->dbgSoli->setFocus();
    const QString path = m_dir.filePath(QStringLiteral("saída.") + format);
    VexTest::ModalCloser closer;
    QString finished;
    closer.onFound = [&](QWidget *modal) {
        if (auto *dialog = qobject_cast<ExportDialog *>(modal)) {
            dialog->setScope(scope);
            dialog->setFormat(ExportFile::formatFromName(format));
            dialog->setFileName(path);
            dialog->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            finished = box->text();
        }
    };
    m_window->findChild<QAction *>(QStringLiteral("mnuExportar"))->trigger();
    // (The first activation's filter dialog may come up too.)
    QCOMPARE(closer.titles().count(QStringLiteral("Exportar")), 1);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join(u'\n')));
    QList<QStringList> table;
    if (format == u"csv") {
        table = csvTable(readBack(format, path).toObject());
    } else {
        const QJsonArray sheets = readBack(format, path).toArray();
        QCOMPARE(sheets.size(), summary.isEmpty() ? 1 : 2);
        QCOMPARE(sheets.last().toObject().value("name").toString(), sheet);
        table = xlsxTable(sheets.last().toObject());
        if (!summary.isEmpty()) {
            QCOMPARE(sheets.first().toObject().value("name").toString(), "Resumo");
            const QStringList counts{"Filial Solicitante", "Itens", "Com pedido",
                                     "Sem pedido vencidas"};
            QCOMPARE(project(xlsxTable(sheets.first().toObject()), counts).join(u' '),
                     summary.join(u' '));
        }
    }
    QCOMPARE(project(table, titles), rows);
    // The end says how many rows went to which file.
    QCOMPARE(finished, QStringLiteral("%1 linhas exportadas para %2.")
                           .arg(rows.size() + summary.size())
                           .arg(path));
    // The choices come back next time.
    const ExportChoices last = ExportChoices::read(QStringLiteral("VEX00300"));
    QCOMPARE(last.scope, scope);
    QCOMPARE(ExportFile::formatName(last.format), format);
    QCOMPARE(last.fileName, path);
}

// Leaving the progress dialog cancels the export: no file, nor a temporary one.
void tst_ExportWindow::cancelInProgress()
{
    QTemporaryDir dir;
    SlowSheet sheet;
    VexTest::ModalCloser closer; // its reject() is Esc
    bool done = true;
    SafeCall([&] {
        done = ExportProgressDialog::run(m_window, dir.filePath(QStringLiteral("lenta.csv")),
                                         ExportFormat::Csv, {&sheet});
    });
    QCOMPARE(closer.titles().count(QStringLiteral("Exportar")), 1);
    QVERIFY(!done);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_ExportWindow::progressText_data()
{
    QTest::addColumn<bool>("estimate");
    QTest::addColumn<QString>("text");
    QTest::newRow("exact total") << false << "Exportando: 69.632 de 251.033 linhas";
    QTest::newRow("estimated total") << true << "Exportando: 69.632 de cerca de 251.033 linhas";
}

// Numbers as the grids show them; a total still estimated says so.
void tst_ExportWindow::progressText()
{
    QFETCH(bool, estimate);
    QFETCH(QString, text);
    QCOMPARE(ExportProgressDialog::progressText(69632, 251033, estimate), text);
}

QTEST_MAIN(tst_ExportWindow)
#include "tst_export_window.moc"
