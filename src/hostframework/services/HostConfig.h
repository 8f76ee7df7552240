#pragma once

#include <QMap>
#include <QString>

// vex.ini, found at $VEX_CONFIG, else beside the executable, else in the
// user's configuration folder. Missing keys take their defaults.
//
// [Server]   Host=127.0.0.1  Port=7300  CallTimeoutMs=30000
//            Tls=false  CaFile=/path/ca.pem  (CaFile: the only CAs trusted; else the system's)
// [Database] Url=sqlite:/path/vex.db  ConnectTimeoutS=10  StatementTimeoutMs=30000
// [Pictures] 0=99.99.9999;0;_
// [Host]     Modules=/path/to/modules   (default: modules/ beside the host)
struct HostConfig
{
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 7300;
    int callTimeoutMs = 30000;
    bool serverTls = false;
    QString serverCaFile; // absolute; checked to hold at least one certificate
    QString databaseUrl;
    int databaseConnectTimeoutS = 10;    // PostgreSQL
    int databaseStatementTimeoutMs = 30000; // PostgreSQL; 0: none
    QString modulesDir;
    QMap<int, QString> pictures; // picture kind -> edit mask

    static QString defaultPicture(int kind); // kind 0: "99.99.9999;0;_"
    QString picture(int kind) const;

    // Throws EVexError naming the file and the bad key.
    static HostConfig fromFile(const QString &path);
    static QString locate(); // empty when no file is found

    // The process-wide configuration (loaded from locate() on first use,
    // defaults when there is no file); tests and the host may replace it.
    static const HostConfig &current();
    static void setCurrent(const HostConfig &config);
};
