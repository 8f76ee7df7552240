#pragma once

#include <QStringList>
#include <QTextStream>

namespace VexDb {

// vex-db user add|passwd|disable|list: the sign-in users of a database.
class UserCommand final
{
public:
    UserCommand(QTextStream &out, QTextStream &err)
        : m_out(out)
        , m_err(err)
    { }
    // Arguments after "user"; returns the tool's exit code.
    int run(const QStringList &arguments);
    static QString usage();

private:
    struct Args
    {
        QString action, url, login;
        int iterations = 0;
        bool weakAllowed = false;
    };
    int parse(const QStringList &arguments, Args *args);
    int execute(const Args &args);
    int list(class UserStore &store);
    int fail(const QString &message, int code);

    QTextStream &m_out;
    QTextStream &m_err;
};

} // namespace VexDb
