#include "ExportFile.h"

#include "VexErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString reason(const QString &qtReason)
{
    return qtReason.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : qtReason;
}

// A temporary file beside the target, removed unless committed.
class TargetTemp final
{
public:
    explicit TargetTemp(const QString &target)
        : m_target(QFileInfo(target).absoluteFilePath()),
          m_file(QFileInfo(m_target).dir().filePath(
              QStringLiteral(".%1.XXXXXX.part").arg(QFileInfo(m_target).fileName())))
    {
        const QFileInfo info(m_target);
        if (info.fileName().isEmpty() || info.isDir())
            throw EVexError(QStringLiteral("%1 não é um nome de arquivo válido.").arg(target));
        if (!info.dir().exists())
            throw EVexError(QStringLiteral("A pasta %1 não existe.").arg(info.absolutePath()));
        if (!m_file.open())
            throw EVexError(QStringLiteral("Não foi possível gravar na pasta %1: %2")
                                .arg(info.absolutePath(), reason(m_file.errorString())));
    }
    QTemporaryFile &file() { return m_file; }
    QString path() const { return m_file.fileName(); }

    // Renames over the target: readers see the old file or the whole new one.
    void commit()
    {
        m_file.close();
        const QFileInfo old(m_target);
        m_file.setPermissions(old.exists() ? old.permissions()
                                           : QFile::ReadOwner | QFile::WriteOwner
                                                 | QFile::ReadGroup | QFile::ReadOther);
        if (std::rename(QFile::encodeName(path()).constData(),
                        QFile::encodeName(m_target).constData())
            != 0)
            throw EVexError(QStringLiteral("Não foi possível substituir %1: %2")
                                .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
        m_file.setAutoRemove(false);
    }

private:
    QString m_target;
    QTemporaryFile m_file;
};

} // namespace

namespace ExportFile {

QString formatName(ExportFormat format)
{
    return format == ExportFormat::Csv ? QStringLiteral("csv") : QStringLiteral("xlsx");
}

ExportFormat formatFromName(const QString &name)
{
    return name.compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0 ? ExportFormat::Csv
                                                                         : ExportFormat::Xlsx;
}

bool write(const QString &path, ExportFormat format, const QList<ExportSheet *> &sheets,
           const ExportProgress &progress)
{
    if (sheets.isEmpty())
        throw EVexError(QStringLiteral("Nada a exportar."));
    TargetTemp temp(path);
    bool complete = false;
    if (format == ExportFormat::Csv) {
        complete = ExportWriters::writeCsv(temp.file(), *sheets.first(), progress);
        if (complete && !temp.file().flush())
            throw EVexError(QStringLiteral("Falha ao gravar %1: %2")
                                .arg(path, reason(temp.file().errorString())));
    } else {
        temp.file().close(); // the writer opens it by name
        complete = ExportWriters::writeXlsx(temp.path(), sheets, progress);
    }
    if (complete)
        temp.commit();
    return complete;
}

} // namespace ExportFile
