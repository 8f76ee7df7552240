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

    // Opens from HostConfig on first use, and again after MarkLost; throws
    // EDatabaseError.
    QSqlDatabase adcGeral();
    // The connection stopped answering: the next use opens a new one (not
    // now: the failed statement still holds this one).
    void MarkLost() { m_lost = true; }

private:
    TdtmDBGeral() = default;
    QString m_url;
    QString m_connectionName;
    bool m_lost = false;
};

inline TdtmDBGeral &dtmDBGeral() { return TdtmDBGeral::instance(); }
