#include "NetSession.h"

NetSession &NetSession::shared()
{
    static NetSession session;
    return session;
}

void NetSession::signedInAs(const QString &token, const QString &login,
                            const QDateTime &expires)
{
    if (token == m_token && login == m_login && expires == m_expires)
        return;
    m_token = token;
    m_login = login;
    m_expires = expires;
    Q_EMIT changed();
}

void NetSession::clear()
{
    signedInAs(QString(), QString(), QDateTime());
}

void NetSession::setSignInRequired(bool required)
{
    if (required == m_signInRequired)
        return;
    m_signInRequired = required;
    Q_EMIT changed();
}

void NetSession::connectionMade(bool encrypted, const QString &protocol)
{
    if (m_connectionKnown && encrypted == m_encrypted && protocol == m_protocol)
        return;
    m_connectionKnown = true;
    m_encrypted = encrypted;
    m_protocol = protocol;
    Q_EMIT changed();
}
