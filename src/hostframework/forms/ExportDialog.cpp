#include "ExportDialog.h"

#include "OptionsFile.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

Q_LOGGING_CATEGORY(lcExport, "vex.forms.export", QtInfoMsg)

namespace {
constexpr int ProgressAfterMs = 500;

QString key(const QString &screenCode, const char *name)
{
    return screenCode + u'/' + QLatin1String(name);
}

QString number(qint64 n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

// Where the rows went, with the folder a click away.
void tellFinished(QWidget *parent, const QString &path, qint64 rows)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Exportação concluída"),
                    ExportProgressDialog::finishedText(rows, path), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("frmExportado"));
    QPushButton *open = box.addButton(QStringLiteral("&Abrir pasta"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
} // namespace

QString ExportChoices::path()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("export.ini"));
}

ExportChoices ExportChoices::read(const QString &screenCode)
{
    ExportChoices choices;
    if (!QFileInfo::exists(path()))
        return choices;
    try {
        const QStringList lines = OptionsFile::read(path());
        choices.scope = OptionsFile::value(lines, key(screenCode, "escopo")).toInt();
        choices.format = ExportFile::formatFromName(OptionsFile::value(lines, "formato"));
        choices.fileName = OptionsFile::value(lines, key(screenCode, "arquivo"));
    } catch (const EVexError &e) {
        qCWarning(lcExport).noquote() << "export choices ignored:" << e.message();
    }
    return choices;
}

void ExportChoices::write(const QString &screenCode) const
{
    QStringList lines;
    try {
        if (QFileInfo::exists(path()))
            lines = OptionsFile::read(path());
    } catch (const EVexError &e) {
        qCWarning(lcExport).noquote() << "export choices rewritten:" << e.message();
    }
    OptionsFile::setValue(lines, key(screenCode, "escopo"), QString::number(scope));
    OptionsFile::setValue(lines, QStringLiteral("formato"), ExportFile::formatName(format));
    OptionsFile::setValue(lines, key(screenCode, "arquivo"), fileName);
    QDir().mkpath(QFileInfo(path()).absolutePath());
    OptionsFile::write(path(), lines);
}

ExportDialog::ExportDialog(const QString &screenCode, const QStringList &scopes,
                           QWidget *parent)
    : QDialog(parent), m_screenCode(screenCode), m_scopeGroup(new QButtonGroup(this)),
      m_xlsx(new QRadioButton(QStringLiteral("&XLSX (planilha)"))),
      m_csv(new QRadioButton(QStringLiteral("&CSV (separado por ;)"))), m_file(new QLineEdit)
{
    setObjectName(QStringLiteral("frmExportar"));
    setWindowTitle(QStringLiteral("Exportar"));
    auto *scopeBox = new QGroupBox(QStringLiteral("Exportar"));
    auto *scopeLayout = new QVBoxLayout(scopeBox);
    for (int i = 0; i < scopes.size(); ++i) {
        auto *button = new QRadioButton(scopes.at(i));
        m_scopes << button;
        m_scopeGroup->addButton(button, i);
        scopeLayout->addWidget(button);
    }
    auto *formatBox = new QGroupBox(QStringLiteral("Formato"));
    auto *formatLayout = new QHBoxLayout(formatBox);
    formatLayout->addWidget(m_xlsx);
    formatLayout->addWidget(m_csv);
    auto *fileRow = new QHBoxLayout;
    auto *fileLabel = new QLabel(QStringLiteral("&Arquivo:"));
    fileLabel->setBuddy(m_file);
    auto *browse = new QPushButton(QStringLiteral("..."));
    browse->setToolTip(QStringLiteral("Escolher o arquivo"));
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Exportar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scopeBox);
    layout->addWidget(formatBox);
    layout->addLayout(fileRow);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this,
            [this] { SafeCall([this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this,
            [this] { SafeCall([this] { chooseFile(); }); });
    connect(m_xlsx, &QRadioButton::toggled, this,
            [this] { SafeCall([this] { matchExtension(); }); });

    const ExportChoices last = ExportChoices::read(screenCode);
    if (QAbstractButton *b = m_scopeGroup->button(last.scope))
        b->setChecked(true);
    else if (!m_scopes.isEmpty())
        m_scopes.first()->setChecked(true);
    setFormat(last.format);
    // Not every account has a documents folder; the home folder always is.
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(documents).exists())
        documents = QDir::homePath();
    setFileName(last.fileName.isEmpty()
                    ? QDir(documents).filePath(screenCode + QStringLiteral(".xlsx"))
                    : last.fileName);
    matchExtension();
}

void ExportDialog::setScopeEnabled(int scope, bool enabled)
{
    QRadioButton *button = m_scopes.value(scope);
    if (!button)
        return;
    button->setEnabled(enabled);
    if (!enabled && button->isChecked()) {
        for (QRadioButton *other : std::as_const(m_scopes)) {
            if (other->isEnabled()) {
                other->setChecked(true);
                break;
            }
        }
    }
}

int ExportDialog::scope() const
{
    return m_scopeGroup->checkedId();
}

void ExportDialog::setScope(int scope)
{
    if (QAbstractButton *button = m_scopeGroup->button(scope))
        button->setChecked(true);
}

void ExportDialog::setFormat(ExportFormat format)
{
    (format == ExportFormat::Csv ? m_csv : m_xlsx)->setChecked(true);
}

ExportFormat ExportDialog::format() const
{
    return m_csv->isChecked() ? ExportFormat::Csv : ExportFormat::Xlsx;
}

QString ExportDialog::fileName() const
{
    return m_file->text().trimmed();
}

void ExportDialog::setFileName(const QString &name)
{
    m_file->setText(QDir::toNativeSeparators(name));
}

void ExportDialog::matchExtension()
{
    const QString name = fileName();
    if (name.isEmpty())
        return;
    const QFileInfo info(name);
    const QString suffix = ExportFile::formatName(format());
    if (info.suffix().compare(suffix, Qt::CaseInsensitive) == 0)
        return;
    const bool known = info.suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0
        || info.suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    const QString base = known ? name.left(name.size() - info.suffix().size() - 1) : name;
    setFileName(base + u'.' + suffix);
}

void ExportDialog::chooseFile()
{
    const QString filter = format() == ExportFormat::Csv
        ? QStringLiteral("CSV (*.csv)")
        : QStringLiteral("Planilha XLSX (*.xlsx)");
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Exportar para"), fileName(), filter);
    if (!chosen.isEmpty()) {
        setFileName(chosen);
        matchExtension();
    }
}

void ExportDialog::accept()
{
    if (scope() < 0 || !m_scopes.value(scope()) || !m_scopes.value(scope())->isEnabled()) {
        HostDisplays::showMessage(QStringLiteral("Escolha o que exportar."));
        return;
    }
    const QFileInfo info(fileName());
    if (fileName().isEmpty() || info.fileName().isEmpty()) {
        HostDisplays::showMessage(QStringLiteral("Informe o nome do arquivo."));
        m_file->setFocus();
        return;
    }
    if (!info.absoluteDir().exists()) {
        HostDisplays::showMessage(
            QStringLiteral("A pasta %1 não existe.").arg(info.absolutePath()));
        m_file->setFocus();
        return;
    }
    ExportChoices choices{scope(), format(), info.absoluteFilePath()};
    try {
        choices.write(m_screenCode);
    } catch (const EVexError &e) {
        // Remembering is a comfort; the export itself goes on.
        qCWarning(lcExport).noquote() << "export choices not saved:" << e.message();
    }
    QDialog::accept();
}

namespace ExportProgressDialog {

QString progressText(qint64 rows, qint64 total, bool estimate)
{
    return QStringLiteral("Exportando: %1 de %2%3 linhas")
        .arg(number(rows), estimate ? QStringLiteral("cerca de ") : QString(), number(total));
}

QString finishedText(qint64 rows, const QString &path)
{
    return QStringLiteral("%1 %2 exportada%3 para %4.")
        .arg(number(rows), rows == 1 ? QStringLiteral("linha") : QStringLiteral("linhas"),
             rows == 1 ? QString() : QStringLiteral("s"), QDir::toNativeSeparators(path));
}

bool run(QWidget *parent, const QString &path, ExportFormat format,
         const QList<ExportSheet *> &sheets)
{
    QProgressDialog progress(QStringLiteral("Exportando..."), QStringLiteral("Cancelar"), 0, 0,
                             parent);
    progress.setObjectName(QStringLiteral("frmExportando"));
    progress.setWindowTitle(QStringLiteral("Exportar"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(ProgressAfterMs);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // Esc closes a dialog without its cancel: here it must stop the export.
    QObject::connect(&progress, &QDialog::rejected, &progress, &QProgressDialog::cancel);
    // Sheets that come in parts know their total only at the last part.
    const bool inParts = std::any_of(sheets.cbegin(), sheets.cend(),
                                     [](const ExportSheet *s) { return s->partCount() > 1; });
    qint64 written = 0;
    const bool done = ExportFile::write(path, format, sheets, [&](qint64 rows, qint64 total) {
        written = rows;
        progress.setMaximum(int(std::min<qint64>(total, INT_MAX)));
        progress.setValue(int(std::min<qint64>(rows, INT_MAX)));
        progress.setLabelText(progressText(rows, total, inParts && rows < total));
        return !progress.wasCanceled();
    });
    progress.close();
    if (done)
        tellFinished(parent, path, written);
    return done;
}

} // namespace ExportProgressDialog
