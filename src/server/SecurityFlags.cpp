#include "SecurityFlags.h"

#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace {

// About 11 s of checks at 0.7 s each: a rush of sign-ins waits rather than
// being told busy, and none waits past a client's patience.
constexpr int SignInQueuePerThread = 16;

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
    , preAuthPerAddress(QStringLiteral("preauth-per-address"),
                        QStringLiteral("Com --auth: conexões sem entrada abertas por endereço de "
                                       "cliente em 10 s (padrão 3; atrás de um balanceador sem "
                                       "--proxy-protocol, que é um endereço só, aumente)."),
                        QStringLiteral("N"))
    , preAuthMax(QStringLiteral("preauth-max-connections"),
                 QStringLiteral("Com --auth: conexões sem entrada ao mesmo tempo, menos que "
                                "--max-connections (padrão 3/4 dele); uma a mais fecha a mais "
                                "antiga."),
                 QStringLiteral("N"))
    , signInQueue(QStringLiteral("signin-queue"),
                  QStringLiteral("Com --auth: verificações de senha à espera; além disso a "
                                 "entrada recebe \"Servidor ocupado\" (padrão 16 por thread)."),
                  QStringLiteral("N"))
    , sessionCheck(QStringLiteral("session-check-s"),
                   QStringLiteral("Com --auth: a sessão em uso é conferida no banco (usuário "
                                  "ativo, senha não trocada) a cada N segundos (1 a 5, padrão "
                                  "5)."),
                   QStringLiteral("N"))
    , proxyProtocol(QStringLiteral("proxy-protocol"),
                    QStringLiteral("Conexões destes endereços (ou redes, IP/BITS; separados por "
                                   "vírgula) começam pelo cabeçalho PROXY v1 ou v2 do "
                                   "balanceador, com o endereço do cliente."),
                    QStringLiteral("ENDEREÇOS"))
{ }

QList<QCommandLineOption> SecurityFlags::options() const
{
    return { tlsCert,           tlsKey,     auth,        authKeyFile,  insecure,     signInTimeout,
             preAuthPerAddress, preAuthMax, signInQueue, sessionCheck, proxyProtocol };
}

bool SecurityFlags::readNumbers(const QCommandLineParser &p, ServerOptions *o,
                                QString *message) const
{
    struct Bounded
    {
        const QCommandLineOption &option;
        int max;
        int *value;
    };
    o->preAuthMax = o->maxConnections - std::max(1, o->maxConnections / 4);
    o->signInQueue = SignInQueuePerThread * o->threads;
    const int preAuthCeiling = std::max(1, o->maxConnections - 1);
    for (const Bounded &b : { Bounded { signInTimeout, 3600, &o->signInTimeoutS },
                              Bounded { preAuthPerAddress, 1000000, &o->preAuthConnections },
                              Bounded { preAuthMax, preAuthCeiling, &o->preAuthMax },
                              Bounded { signInQueue, 100000, &o->signInQueue },
                              Bounded { sessionCheck, 5, &o->sessionRecheckS } }) {
        if (!p.isSet(b.option))
            continue;
        bool ok = false;
        const int n = p.value(b.option).toInt(&ok);
        if (!ok || n < 1 || n > b.max) {
            *message = QStringLiteral("--%1 inválido: %2 (esperado inteiro de 1 a %3)")
                           .arg(b.option.names().constFirst(), p.value(b.option))
                           .arg(b.max);
            return false;
        }
        *b.value = n;
    }
    o->preAuthMax = std::max(1, o->preAuthMax);
    return true;
}

bool SecurityFlags::readProxies(const QCommandLineParser &p, ServerOptions *o,
                                QString *message) const
{
    if (!p.isSet(proxyProtocol))
        return true;
    for (const QString &item : p.value(proxyProtocol).split(u',', Qt::SkipEmptyParts)) {
        const QString text = item.trimmed();
        QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(text);
        if (!text.contains(u'/')) {
            QHostAddress single;
            subnet = single.setAddress(text)
                ? qMakePair(single, single.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32)
                : qMakePair(QHostAddress(), -1);
        }
        if (subnet.first.isNull() || subnet.second < 0) {
            *message = QStringLiteral("--proxy-protocol inválido: %1 (esperado IP ou IP/BITS)")
                           .arg(text);
            return false;
        }
        o->proxyFrom.append(subnet);
    }
    if (o->proxyFrom.isEmpty()) {
        *message = QStringLiteral("--proxy-protocol exige os endereços dos balanceadores");
        return false;
    }
    return true;
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
    if (!readNumbers(p, o, message) || !readProxies(p, o, message))
        return false;
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
