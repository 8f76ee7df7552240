#include "TdtmDBGeral.h"

#include "Database.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

namespace {

const QString kConnectionName = QStringLiteral("dtmDBGeral");

} // namespace

TdtmDBGeral &TdtmDBGeral::instance()
{
    static TdtmDBGeral module;
    return module;
}

void TdtmDBGeral::Open(const QString &url)
{
    Close();
    QString error;
    const HostConfig &config = HostConfig::current();
    VexDb::OpenOptions options;
    options.connectTimeoutS = config.databaseConnectTimeoutS;
    options.statementTimeoutMs = config.databaseStatementTimeoutMs;
    QSqlDatabase db = VexDb::open(url, kConnectionName, &error, options);
    if (!db.isOpen()) {
        db = QSqlDatabase();
        if (QSqlDatabase::contains(kConnectionName))
            QSqlDatabase::removeDatabase(kConnectionName);
        throw EDatabaseError(
            QStringLiteral("Não foi possível conectar ao banco de dados: %1").arg(error));
    }
    m_url = url;
    m_connectionName = kConnectionName;
}

void TdtmDBGeral::Close()
{
    if (m_connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
    m_url.clear();
}

bool TdtmDBGeral::Connected() const
{
    return !m_connectionName.isEmpty()
           && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TdtmDBGeral::adcGeral()
{
    if (m_lost) {
        const QString url = m_url.isEmpty() ? HostConfig::current().databaseUrl : m_url;
        m_lost = false;
        Open(url);
    }
    if (!Connected()) {
        const QString url = HostConfig::current().databaseUrl;
        if (url.isEmpty()) {
            throw EDatabaseError(QStringLiteral(
                "Banco de dados não configurado: informe a Url da seção [Database] de vex.ini"));
        }
        Open(url);
    }
    return QSqlDatabase::database(m_connectionName, false);
}
