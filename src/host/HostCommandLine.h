#pragma once

#include <QString>
#include <QStringList>

// vex-host [--open CODE] [--config FILE] [--help]
struct HostCommandLine
{
    QString openCode;
    QString configFile;
    bool help = false;

    // arguments without the program name; false with a one-line reason.
    static bool parse(const QStringList &arguments, HostCommandLine *out, QString *error);
    static QString usage();
};
