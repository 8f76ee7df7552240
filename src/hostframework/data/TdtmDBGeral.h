#pragma once

#include <QSqlDatabase>
#include <QString>

// The host's general database module: one connection (adcGeral/dtbGeral)
// opened from the [Database] Url of vex.ini, shared by every screen.
class TdtmDBGeral final
{
public:
    static TdtmDBGeral &instance();

    // Opens (or reopens) on a database URL ("sqlite:PATH" or
    // "postgresql://..."); throws EDatabaseError with the driver's reason.
    void Open(const QString &url);
    void Close();
    bool Connected() const;
    QString Url() const { return m_url; }

    // Opens from HostConfig on first use; throws EDatabaseError.
    QSqlDatabase adcGeral();

private:
    TdtmDBGeral() = default;
    QString m_url;
    QString m_connectionName;
};

inline TdtmDBGeral &dtmDBGeral() { return TdtmDBGeral::instance(); }
