#pragma once

#include "TServerReply.h"

#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>

#include <memory>

class QSslSocket;
class TNetConnection;

// One server call that runs beside the window's own: on a connection of
// its own, with the event loop free and user input untouched, no wait
// shown. It ends once, with finished(): the reply, a server error, or a
// transport fault as a reply with ok == false and errorCode 0. Deleting it
// before then drops the call, and its answer is never seen.
class AsyncCall final : public QObject
{
    Q_OBJECT
public:
    // Reaches the server as `like` does: address, TLS, call timeout, server
    // name and the process's sign-in. Starts at once.
    AsyncCall(const TNetConnection &like, const QString &method, const QJsonArray &params,
              QObject *parent = nullptr);
    ~AsyncCall() override;

    bool done() const { return m_done; }

Q_SIGNALS:
    void finished(const TServerReply &reply);

private:
    void start();
    void onConnected();
    void onReady();
    void sendRequest();
    void send(qint64 id, const QString &method, const QJsonArray &params);
    void onReadyRead();
    void fail(const QString &reason);
    void finish(const TServerReply &reply);

    QString m_host;
    int m_port = 0;
    bool m_tls = false;
    QList<QSslCertificate> m_caCertificates;
    QString m_token;
    QString m_method; // with the server's name
    QJsonArray m_params;
    QTimer m_deadline;
    std::unique_ptr<QSslSocket> m_socket;
    bool m_done = false;
};
