#include "ServerSecurity.h"

#include "TlsSetup.h"

std::shared_ptr<ServerSecurity> ServerSecurity::create(const ServerOptions &options, QString *error)
{
    std::shared_ptr<ServerSecurity> s(new ServerSecurity(options));
    if (options.tlsEnabled()
        && !TlsSetup::load(options.tlsCertFile, options.tlsKeyFile, &s->m_tls, error))
        return nullptr;
    if (!options.authEnabled())
        return s;
    constexpr qint64 MaxKeyBytes = 64 * 1024;
    QByteArray key;
    if (!TlsSetup::readSecretFile(options.authKeyFile, MaxKeyBytes, &key, error))
        return nullptr;
    if (key.size() < ServerOptions::MinAuthKeyBytes) {
        *error = QStringLiteral("%1: a chave das sessões precisa de ao menos %2 bytes (tem %3)")
                     .arg(options.authKeyFile)
                     .arg(ServerOptions::MinAuthKeyBytes)
                     .arg(key.size());
        return nullptr;
    }
    if (key.count('\0') == key.size()) {
        *error = QStringLiteral("%1: a chave das sessões só tem zeros; use bytes aleatórios "
                                "(head -c 32 /dev/urandom)")
                     .arg(options.authKeyFile);
        return nullptr;
    }
    s->m_auth = std::make_unique<Authenticator>(options, key);
    if (!s->m_auth->checkDatabase(error))
        return nullptr;
    s->m_preAuth = std::make_unique<PreAuthLimits>(options.preAuthConnections,
                                                   options.preAuthWindowS, options.preAuthMax);
    return s;
}

QString ServerSecurity::summary() const
{
    QStringList parts;
    parts << (tls() ? QStringLiteral("TLS") : QStringLiteral("sem TLS"));
    parts << (m_auth ? QStringLiteral("entrada obrigatória") : QStringLiteral("sem entrada"));
    QString text = parts.join(QStringLiteral(", "));
    if (m_options.insecure && (!tls() || !m_auth))
        text += QStringLiteral("; AVISO: --insecure: dados e acesso expostos na rede");
    return text;
}
