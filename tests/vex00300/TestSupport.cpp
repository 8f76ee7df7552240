#include "TestSupport.h"

#include "Cli_vex00300.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "data/TClientDataSet.h"
#include "services/Consiste.h"
#include "services/HostConfig.h"
#include "services/HostDisplays.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QTcpSocket>

#include <map>
#include <memory>

namespace VexTest {

HostFixture::HostFixture()
{
    mainWindow = new QMainWindow;
    mdiArea = new QMdiArea(mainWindow);
    mainWindow->setCentralWidget(mdiArea);
    mainWindow->resize(1300, 800);
    mainWindow->show();
    application = new TApplication(mdiArea);
    HostDisplays::setMessageHandler([this](const QString &text) { messages << text; });
    HostDisplays::setErrorHandler([this](const QString &text) { errors << text; });
}

HostFixture::~HostFixture()
{
    HostDisplays::setMessageHandler(nullptr);
    HostDisplays::setErrorHandler(nullptr);
    delete application;
    delete mainWindow;
}

ModalCloser::ModalCloser(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalCloser::poll);
    m_timer.start(20);
}

void ModalCloser::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    m_titles << modal->windowTitle();
    if (onFound)
        onFound(modal);
    if (!modal->isVisible())
        return; // onFound answered it
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

TDataPacket packetFor(const QList<AcomPOLDataSets::FieldDef> &fields,
                      const QList<QVariantMap> &rows)
{
    TDataPacket packet;
    for (const auto &def : fields)
        packet.fields.append({QString::fromLatin1(def.column), def.type, def.size});
    for (const QVariantMap &row : rows) {
        QVariantList values;
        for (const auto &def : fields)
            values << row.value(QString::fromLatin1(def.column));
        packet.rows.append(values);
    }
    return packet;
}

QJsonObject packetJson(const QList<AcomPOLDataSets::FieldDef> &fields,
                       const QList<QVariantMap> &rows)
{
    return packetFor(fields, rows).toJson();
}

TDataPacket branchPacket(const QStringList &codes)
{
    QList<QVariantMap> rows;
    for (const QString &code : codes)
        rows << QVariantMap{{"CDFILSOLI", code}, {"NMFILIAL", QStringLiteral("Filial ") + code}};
    return packetFor(AcomPOLDataSets::filialFields(), rows);
}

void useServerPort(quint16 port)
{
    HostConfig config = HostConfig::current();
    config.serverHost = QStringLiteral("127.0.0.1");
    config.serverPort = port;
    config.callTimeoutMs = 10000;
    HostConfig::setCurrent(config);
}

void confirmEverything(TfrmAcomPOL *window)
{
    window->Var_filtro("", "T", "0100", "T", "T", "", "", "T", "", "T", "T", "T", "T", "T", 0,
                       0, 0, 0);
    const TServerReply reply = rdmAcomPOL::GetFiliSoliGrid(
        *window->netAcomPOL, "", "T", "0100", 0, 0, "T", 0, 0, "T", "", QString(20, u'Z'),
        "T", "", "T", "T", "T", "T", "T");
    window->cdsFilial->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
}

namespace {
// Bound and never listening: connections are refused, and no other test
// running beside this one can take the port meanwhile.
std::map<quint16, std::unique_ptr<QTcpSocket>> &heldPorts()
{
    static std::map<quint16, std::unique_ptr<QTcpSocket>> ports;
    return ports;
}
} // namespace

quint16 deadPort()
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->bind(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = socket->localPort();
    heldPorts()[port] = std::move(socket);
    return port;
}

void releasePort(quint16 port)
{
    heldPorts().erase(port);
}

} // namespace VexTest
