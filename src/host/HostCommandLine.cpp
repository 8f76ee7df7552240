#include "HostCommandLine.h"

namespace {
// "--name value" or "--name=value"; false when the value is missing.
bool takeValue(const QStringList &arguments, int *i, const QString &name, QString *value,
               QString *error)
{
    const QString arg = arguments.at(*i);
    if (arg.startsWith(name + QLatin1Char('='))) {
        *value = arg.mid(name.size() + 1);
    } else if (*i + 1 < arguments.size() && !arguments.at(*i + 1).startsWith(QLatin1String("--"))) {
        *value = arguments.at(++*i);
    } else {
        value->clear();
    }
    if (value->trimmed().isEmpty()) {
        *error = QStringLiteral("%1 precisa de um valor").arg(name);
        return false;
    }
    return true;
}
} // namespace

bool HostCommandLine::parse(const QStringList &arguments, HostCommandLine *out, QString *error)
{
    HostCommandLine result;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
        } else if (name == QLatin1String("--open")) {
            if (!takeValue(arguments, &i, name, &result.openCode, error))
                return false;
        } else if (name == QLatin1String("--config")) {
            if (!takeValue(arguments, &i, name, &result.configFile, error))
                return false;
        } else {
            *error = QStringLiteral("argumento desconhecido: %1").arg(arg);
            return false;
        }
    }
    *out = result;
    return true;
}

QString HostCommandLine::usage()
{
    return QStringLiteral(
        "Uso: vex-host [--open CÓDIGO] [--config ARQUIVO] [--help]\n"
        "  --open CÓDIGO     abre a tela CÓDIGO (ex.: VEX00300) ao iniciar\n"
        "  --config ARQUIVO  lê a configuração de ARQUIVO (como VEX_CONFIG)\n"
        "  --help            mostra esta ajuda\n");
}
