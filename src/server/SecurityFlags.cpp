#include "SecurityFlags.h"

#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace {

bool loopback(const QString &host)
{
    QHostAddress address;
    return host == u"localhost" || (address.setAddress(host) && address.isLoopback());
}

} // namespace

SecurityFlags::SecurityFlags()
    : tlsCert(QStringLiteral("tls-cert"),
              QStringLiteral("Certificado do servidor (PEM; pode trazer a cadeia). Liga o TLS."),
              QStringLiteral("ARQUIVO"))
    , tlsKey(QStringLiteral("tls-key"),
             QStringLiteral("Chave privada do certificado (PEM, sem senha; não legível por "
                            "grupo nem outros)."),
             QStringLiteral("ARQUIVO"))
    , auth(QStringLiteral("auth"),
           QStringLiteral("Exige entrada de usuário: db (usuários da tabela USUARIO)."),
           QStringLiteral("MODO"))
    , authKeyFile(QStringLiteral("auth-key-file"),
                  QStringLiteral("Chave das sessões (32 bytes ou mais, não legível por grupo "
                                 "nem outros), a mesma em todas as instâncias."),
                  QStringLiteral("ARQUIVO"))
    , insecure(QStringLiteral("insecure"),
               QStringLiteral("Permite escutar fora do loopback sem TLS ou sem entrada."))
    , signInTimeout(QStringLiteral("signin-timeout-s"),
                    QStringLiteral("Com --auth: fecha a conexão que não entrar em N segundos "
                                   "(padrão 10)."),
                    QStringLiteral("N"))
{ }

QList<QCommandLineOption> SecurityFlags::options() const
{
    return { tlsCert, tlsKey, auth, authKeyFile, insecure, signInTimeout };
}

bool SecurityFlags::read(const QCommandLineParser &p, ServerOptions *o, QString *message) const
{
    o->tlsCertFile = p.value(tlsCert);
    o->tlsKeyFile = p.value(tlsKey);
    o->authMode = p.value(auth);
    o->authKeyFile = p.value(authKeyFile);
    o->insecure = p.isSet(insecure);
    if (o->tlsCertFile.isEmpty() != o->tlsKeyFile.isEmpty()) {
        *message = o->tlsCertFile.isEmpty() ? QStringLiteral("--tls-key exige --tls-cert ARQUIVO")
                                            : QStringLiteral("--tls-cert exige --tls-key ARQUIVO");
        return false;
    }
    if (p.isSet(auth) && o->authMode != u"db") {
        *message = QStringLiteral("--auth inválido: %1 (esperado db)").arg(o->authMode);
        return false;
    }
    if (o->authEnabled() != !o->authKeyFile.isEmpty()) {
        *message = o->authEnabled() ? QStringLiteral("--auth db exige --auth-key-file ARQUIVO")
                                    : QStringLiteral("--auth-key-file exige --auth db");
        return false;
    }
    if (p.isSet(signInTimeout)) {
        bool ok = false;
        const int seconds = p.value(signInTimeout).toInt(&ok);
        if (!ok || seconds < 1 || seconds > 3600) {
            *message = QStringLiteral("--signin-timeout-s inválido: %1 (esperado inteiro de 1 a "
                                      "3600)")
                           .arg(p.value(signInTimeout));
            return false;
        }
        o->signInTimeoutS = seconds;
    }
    if (loopback(o->listenHost) || o->insecure)
        return true;
    QStringList missing;
    if (!o->tlsEnabled())
        missing << QStringLiteral("--tls-cert ARQUIVO --tls-key ARQUIVO");
    if (!o->authEnabled())
        missing << QStringLiteral("--auth db --auth-key-file ARQUIVO");
    if (missing.isEmpty())
        return true;
    *message = QStringLiteral("escutar em %1 (fora do loopback) exige %2; ou --insecure para "
                              "aceitar o risco")
                   .arg(o->listenHost, missing.join(QStringLiteral(" e ")));
    return false;
}
