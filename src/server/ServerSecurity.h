#pragma once

#include "Authenticator.h"
#include "PreAuthLimits.h"
#include "ServerOptions.h"

#include <QSslConfiguration>

#include <memory>

// What the TLS and sign-in flags set up, loaded once at start and shared
// by the accepting thread and every worker.
class ServerSecurity final
{
public:
    // Null with a one-line reason when a file or the database is unfit.
    static std::shared_ptr<ServerSecurity> create(const ServerOptions &options, QString *error);

    const ServerOptions &options() const { return m_options; }
    bool tls() const { return m_options.tlsEnabled(); }
    const QSslConfiguration &tlsConfiguration() const { return m_tls; }
    // Null on a server without sign-in.
    Authenticator *authenticator() const { return m_auth.get(); }
    PreAuthLimits *preAuthLimits() const { return m_preAuth.get(); }
    // For the ready line: what protects the server, or a warning.
    QString summary() const;

private:
    explicit ServerSecurity(const ServerOptions &options)
        : m_options(options)
    { }

    ServerOptions m_options;
    QSslConfiguration m_tls;
    std::unique_ptr<Authenticator> m_auth;
    std::unique_ptr<PreAuthLimits> m_preAuth;
};
