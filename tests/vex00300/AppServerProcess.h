#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace VexTest {

// A real vex-appserver over a small SQLite company: the fixture of the
// cascade tests (an operator, three branches, requests, orders and stock).
class AppServerProcess final
{
public:
    AppServerProcess();
    ~AppServerProcess();

    // Creates the database once and starts the server on port (0: any);
    // false with the reason in *error.
    bool start(QString *error, quint16 port = 0);
    // Before start: more server flags (TLS, sign-in), and a sign-in user
    // added with vex-db (false with the reason).
    void setExtraArguments(const QStringList &arguments) { m_extra = arguments; }
    bool addUser(const QString &login, const QString &password, QString *error);
    void kill(); // at once, as a crash would
    void stop();
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    QString databaseUrl() const { return m_databaseUrl; }

private:
    bool createDatabase(QString *error);

    QTemporaryDir m_dir;
    QString m_databaseUrl;
    QProcess m_process;
    quint16 m_port = 0;
    QStringList m_extra;
};

} // namespace VexTest
