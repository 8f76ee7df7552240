#include "AppServerProcess.h"

#include "Database.h"
#include "Schema.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace VexTest {

namespace {
const char *const kFixture[] = {
    "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDOPELOG, CDFILIOPELOG) VALUES"
    " ('0100', 'Operador Campinas', 'S', NULL),"
    " ('0001', 'Jundiaí', 'N', '0100'),"
    " ('0002', 'Sorocaba', 'N', '0100'),"
    " ('0003', 'Piracicaba', 'N', '0100')",
    "INSERT INTO PRODUTO VALUES ('P1', '0102030001', 'Arroz agulhinha 5 kg', 3, 'FD'),"
    " ('P2', '0102030002', 'Feijão carioca 1 kg', 3, 'FD')",
    "INSERT INTO CONSOLOL VALUES ('C1', '0100', '2025-03-01', '2025-03-07')",
    "INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTSOLICMP, DTPROGENTR, QTSOLIPROD,"
    " VRFATOCONV, IDSOLIAPROV, CDFILIOPELOG, CDPRODESTO, NRSEQUCONSOL, NRSOLCMPCONS,"
    " IDITMCONS) VALUES"
    " ('R1', 'P1', '0001', '2025-03-02', '2025-03-10', 5, 2, 'S', '0100', 'P1', 'C1', 'K1', 'S'),"
    " ('R2', 'P2', '0001', '2025-03-03', '2025-03-20', 4, 1, 'N', '0100', 'P2', NULL, NULL, 'N'),"
    " ('R3', 'P2', '0002', '2025-03-04', '2025-03-12', 8, 1, 'S', '0100', 'P2', 'C1', 'K2', 'S')",
    "INSERT INTO PEDIDOOL (NRPEDEXOL, CDFILDEST, CDPRODUTO, CDMARCA, CDFILLANC, CDFILIOPELOG,"
    " NRSEQUCONSOL, QTPROGENPEOL, VRFATOCONV, DTPROGENPEOL, DTPROGEMBARQ, IDBAIXENPEOL,"
    " IDBAIXAOLSAI, QTRESERVITEM) VALUES"
    " ('PED1', '0001', 'P1', 'M1', '0001', '0100', 'C1', 6, 1, '2025-03-08', '2025-03-09',"
    "  '1', NULL, 3),"
    " ('PED2', '0001', 'P1', 'M2', '0001', '0100', 'C1', 4, 1, '2025-03-08', '2025-03-09',"
    "  '2', '3', 0),"
    " ('PED3', '0002', 'P2', 'M1', '0002', '0100', 'C1', 8, 1, '2025-03-10', '2025-03-11',"
    "  NULL, NULL, 8)",
    "INSERT INTO ESTOQUEOL VALUES ('0100', 'P1', 'M1', 'P1', 100, 30),"
    " ('0100', 'P1', 'M2', 'P1', 50, 0), ('0100', 'P2', 'M1', 'P2', 70, 10)",
};

} // namespace

AppServerProcess::AppServerProcess()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

AppServerProcess::~AppServerProcess()
{
    stop();
}

bool AppServerProcess::createDatabase(QString *error)
{
    if (!m_databaseUrl.isEmpty())
        return true;
    const QString url = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("e2e.db"));
    const QString name = QStringLiteral("appserver-fixture");
    {
        QSqlDatabase db = VexDb::open(url, name, error);
        if (!db.isOpen() || !VexDb::Schema::migrate(db, error))
            return false;
        QSqlQuery q(db);
        for (const char *sql : kFixture) {
            if (!q.exec(QString::fromUtf8(sql))) {
                *error = q.lastError().text();
                return false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    m_databaseUrl = url;
    return true;
}

bool AppServerProcess::start(QString *error, quint16 port)
{
    if (!createDatabase(error))
        return false;
    const QString program = QStringLiteral(VEX_BIN_DIR "/vex-appserver");
    m_process.setProgram(program);
    m_process.setArguments(QStringList{"--database", m_databaseUrl, "--listen",
                                       QStringLiteral("127.0.0.1:%1").arg(port)}
                           + m_extra);
    m_process.start();
    if (!m_process.waitForStarted()) {
        *error = m_process.errorString();
        return false;
    }
    // The ready line names the port the server really took.
    const QRegularExpression portPattern(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(15000);
    QByteArray output;
    m_port = 0;
    while (!m_port && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        output += m_process.readAll();
        const auto match = portPattern.match(QString::fromUtf8(output));
        if (match.hasMatch())
            m_port = quint16(match.captured(1).toUInt());
    }
    if (!m_port)
        *error = QString::fromUtf8(output);
    return m_port != 0;
}

bool AppServerProcess::addUser(const QString &login, const QString &password, QString *error)
{
    if (!createDatabase(error))
        return false;
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    // Few PBKDF2 rounds: a test need not spend a second per sign-in.
    tool.start(QStringLiteral(VEX_BIN_DIR "/vex-db"),
               {"user", "add", "--database", m_databaseUrl, "--iterations", "1000",
                "--test-weak-iterations", login});
    tool.write((password + u'\n').toUtf8());
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0) {
        *error = QString::fromUtf8(tool.readAll()) + tool.errorString();
        return false;
    }
    return true;
}

void AppServerProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void AppServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace VexTest
