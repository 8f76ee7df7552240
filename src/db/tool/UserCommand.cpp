#include "UserCommand.h"

#include "Database.h"
#include "PasswordHash.h"
#include "PasswordPrompt.h"
#include "UserStore.h"
#include "VexDbTool.h"

#include <QSqlDatabase>

namespace VexDb {

namespace {

const QString kConnection = QStringLiteral("vex-db-user");
const QStringList kActions
    = { QStringLiteral("add"), QStringLiteral("passwd"), QStringLiteral("disable"),
        QStringLiteral("enable"), QStringLiteral("list") };
// Iteration counts below the minimum only with the test flag, so that test
// suites need not spend a second per sign-in.
const QString kWeakFlag = QStringLiteral("--test-weak-iterations");

} // namespace

QString UserCommand::usage()
{
    return QStringLiteral(
        "user    sign-in users of vex-appserver --auth db; the password is asked\n"
        "        twice on a terminal (no echo), else read as one line of stdin;\n"
        "        it needs 12 characters or more, at most 1024 bytes of UTF-8;\n"
        "        passwd and disable end the sessions signed in before;\n"
        "        --iterations: PBKDF2 rounds, at least 600000 (the default);\n"
        "        --test-weak-iterations allows fewer, for test suites only\n");
}

int UserCommand::fail(const QString &message, int code)
{
    m_err << "vex-db: " << message << Qt::endl;
    return code;
}

int UserCommand::parse(const QStringList &a, Args *args)
{
    if (a.isEmpty() || !kActions.contains(a.first()))
        return fail(QStringLiteral("user needs add, passwd, disable, enable or list; see --help"),
                    VexDbTool::BadArguments);
    args->action = a.first();
    args->iterations = Password::MinIterations;
    for (int i = 1; i < a.size(); ++i) {
        const QString &arg = a.at(i);
        if (arg == QLatin1String("--database") || arg == QLatin1String("--iterations")) {
            if (i + 1 >= a.size())
                return fail(arg + QStringLiteral(" needs a value"), VexDbTool::BadArguments);
            const QString value = a.at(++i);
            bool ok = true;
            if (arg == QLatin1String("--database"))
                args->url = value;
            else
                args->iterations = value.toInt(&ok);
            if (!ok || args->iterations < 1)
                return fail(QStringLiteral("--iterations needs a whole number"),
                            VexDbTool::BadArguments);
        } else if (arg == kWeakFlag) {
            args->weakAllowed = true;
        } else if (arg.startsWith(u'-') || !args->login.isEmpty()) {
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(arg),
                        VexDbTool::BadArguments);
        } else {
            args->login = arg;
        }
    }
    if (args->url.isEmpty())
        return fail(QStringLiteral("--database URL is required"), VexDbTool::BadArguments);
    if (args->iterations < Password::MinIterations && !args->weakAllowed)
        return fail(QStringLiteral("--iterations must be at least %1").arg(Password::MinIterations),
                    VexDbTool::BadArguments);
    const bool needsLogin = args->action != QLatin1String("list");
    if (needsLogin && args->login.isEmpty())
        return fail(QStringLiteral("user %1 needs a LOGIN").arg(args->action),
                    VexDbTool::BadArguments);
    if (!needsLogin && !args->login.isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(args->login),
                    VexDbTool::BadArguments);
    if (needsLogin && !UserStore::validLogin(args->login))
        return fail(QStringLiteral("invalid login \"%1\": 1 to %2 letters, digits, . _ @ -")
                        .arg(args->login)
                        .arg(UserStore::MaxLoginLength),
                    VexDbTool::BadArguments);
    QString error;
    if (!DatabaseUrl::parse(args->url, nullptr, &error))
        return fail(error, VexDbTool::BadArguments);
    return VexDbTool::Ok;
}

int UserCommand::run(const QStringList &arguments)
{
    Args args;
    if (const int code = parse(arguments, &args); code != VexDbTool::Ok)
        return code;
    const int code = execute(args);
    QSqlDatabase::removeDatabase(kConnection);
    return code;
}

int UserCommand::execute(const Args &args)
{
    QString error;
    QSqlDatabase db = open(args.url, kConnection, &error);
    if (!db.isOpen())
        return fail(error, VexDbTool::Failed);
    UserStore store(db);
    if (!store.ready())
        return fail(QStringLiteral("the database has no USUARIO table; run vex-db init first"),
                    VexDbTool::Failed);
    if (args.action == QLatin1String("list"))
        return list(store);
    UserStore::Result result = UserStore::Result::Ok;
    if (args.action == QLatin1String("disable")) {
        result = store.disable(args.login, &error);
    } else if (args.action == QLatin1String("enable")) {
        result = store.enable(args.login, &error);
    } else {
        QByteArray typed;
        if (!readPassword(true, &typed, &error))
            return fail(error, VexDbTool::Failed);
        if (typed.isEmpty())
            return fail(QStringLiteral("empty password refused"), VexDbTool::Failed);
        if (const QString why = Password::refusal(typed); !why.isEmpty())
            return fail(why, VexDbTool::Failed);
        const QString password = QString::fromUtf8(typed);
        typed.fill('\0');
        result = args.action == QLatin1String("add")
            ? store.add(args.login, password, args.iterations, &error)
            : store.setPassword(args.login, password, args.iterations, &error);
    }
    switch (result) {
    case UserStore::Result::Ok:
        m_out << "user " << args.login << ": "
              << (args.action == QLatin1String("add")          ? "added"
                      : args.action == QLatin1String("passwd") ? "password changed"
                      : args.action == QLatin1String("enable") ? "enabled"
                                                               : "disabled")
              << Qt::endl;
        return VexDbTool::Ok;
    case UserStore::Result::Exists:
        return fail(QStringLiteral("user \"%1\" already exists").arg(args.login),
                    VexDbTool::Failed);
    case UserStore::Result::Unknown:
        return fail(QStringLiteral("unknown user \"%1\"").arg(args.login), VexDbTool::Failed);
    case UserStore::Result::Failed:
        break;
    }
    return fail(error, VexDbTool::Failed);
}

int UserCommand::list(UserStore &store)
{
    QList<UserRecord> users;
    QString error;
    if (!store.list(&users, &error))
        return fail(error, VexDbTool::Failed);
    m_out << "LOGIN\tACTIVE\tITERATIONS\tFAILURES\tLAST_FAILURE" << Qt::endl;
    for (const UserRecord &u : std::as_const(users)) {
        m_out << u.login << '\t' << (u.active ? "yes" : "no") << '\t' << u.iterations << '\t'
              << u.failures << '\t'
              << (u.lastFailure.isValid() ? u.lastFailure.toString(Qt::ISODate)
                                          : QStringLiteral("-"))
              << Qt::endl;
    }
    return VexDbTool::Ok;
}

} // namespace VexDb
