#pragma once

#include "data/ExportFile.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QButtonGroup;
class QLineEdit;
class QRadioButton;

// The user's last export choices, in <config>/export.ini, written
// atomically; a file that cannot be read gives the defaults.
struct ExportChoices
{
    int scope = 0;
    ExportFormat format = ExportFormat::Xlsx;
    QString fileName;

    static QString path();
    static ExportChoices read(const QString &screenCode);
    void write(const QString &screenCode) const; // throws EVexError
};

// "Exportar": a scope among those the screen offers, XLSX or CSV, and the
// file name; the last choices come back next time.
class ExportDialog final : public QDialog
{
    Q_OBJECT
public:
    ExportDialog(const QString &screenCode, const QStringList &scopes, QWidget *parent = nullptr);

    void setScopeEnabled(int scope, bool enabled);
    int scope() const;
    void setScope(int scope);
    ExportFormat format() const;
    void setFormat(ExportFormat format);
    QString fileName() const;
    void setFileName(const QString &name);

    void accept() override;

private:
    void chooseFile();
    void matchExtension();

    QString m_screenCode;
    QList<QRadioButton *> m_scopes;
    QButtonGroup *m_scopeGroup;
    QRadioButton *m_xlsx;
    QRadioButton *m_csv;
    QLineEdit *m_file;
};

// Writes the export with a progress dialog ("Cancelar") when it takes more
// than about half a second, then says how many rows went to which file,
// offering to open its folder. False when the user cancelled; throws
// EVexError.
namespace ExportProgressDialog {
bool run(QWidget *parent, const QString &path, ExportFormat format,
         const QList<ExportSheet *> &sheets);
// "Exportando: 69.632 de cerca de 251.033 linhas" while the total is an estimate.
QString progressText(qint64 rows, qint64 total, bool estimate);
QString finishedText(qint64 rows, const QString &path);
} // namespace ExportProgressDialog
