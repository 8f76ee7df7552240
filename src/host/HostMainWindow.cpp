#include "HostMainWindow.h"

#include "app/TApplication.h"
#include "net/NetSession.h"
#include "services/HostConfig.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include <cstdio>

#include <pwd.h>
#include <unistd.h>
#include <QUrl>

namespace {
// A database URL as it may be shown: without its password.
QString shownDatabaseUrl(const QString &url)
{
    if (url.isEmpty())
        return QStringLiteral("(não configurado)");
    if (url.startsWith(QLatin1String("sqlite:")))
        return url;
    QUrl parsed(url);
    if (!parsed.isValid())
        return QStringLiteral("(URL inválida)");
    if (!parsed.password().isEmpty())
        parsed.setPassword(QStringLiteral("***"));
    return parsed.toDisplayString();
}

QString userName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty()) {
        // Services and CI often run without USER: ask the account database.
        if (const passwd *entry = getpwuid(getuid()))
            user = QString::fromLocal8Bit(entry->pw_name);
    }
    return user.isEmpty() ? QStringLiteral("?") : user;
}

// Of the connection last made; before any, what vex.ini demands (TLS is
// never given up for clear text).
QString encryptionText(const NetSession &session, const HostConfig &config)
{
    const bool encrypted = session.connectionKnown() ? session.encrypted() : config.serverTls;
    if (!encrypted)
        return QStringLiteral("Conexão sem criptografia");
    const QString protocol = session.protocol();
    return protocol.isEmpty() ? QStringLiteral("Conexão criptografada")
                              : QStringLiteral("Conexão criptografada (%1)").arg(protocol);
}
} // namespace

HostMainWindow::HostMainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("VEX"));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    m_application = new TApplication(m_mdiArea, this);

    m_statusLabel = new QLabel(this);
    statusBar()->addPermanentWidget(m_statusLabel);
    buildMenus();
    updateStatus();
    resize(1280, 800);

    connect(&NetSession::shared(), &NetSession::changed, this, &HostMainWindow::updateStatus);
    connect(&m_loader, &PackageLoader::loadFailed, this, [this](const QString &message) {
        statusBar()->showMessage(message);
        HostDisplays::showError(message);
    });
}

HostMainWindow::~HostMainWindow()
{
    shutdown();
}

void HostMainWindow::installDialogDisplays()
{
    HostDisplays::setErrorHandler([](const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Erro"), text);
    });
    HostDisplays::setMessageHandler([](const QString &text) {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Aviso"), text);
    });
    HostDisplays::setInformationHandler([](const QString &text) {
        QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Informação"),
                                 text);
    });
}

void HostMainWindow::reportStartFailure(const QString &reason, bool onScreen)
{
    std::fprintf(stderr, "vex-host: %s\n", qPrintable(reason));
    if (onScreen) {
        QMessageBox::critical(nullptr, QStringLiteral("VEX"),
                              QStringLiteral("O programa não pode iniciar: %1").arg(reason));
    }
}

bool HostMainWindow::hasScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
}

void HostMainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    QAction *quit = file->addAction(QStringLiteral("&Sair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    m_screensMenu = menuBar()->addMenu(QStringLiteral("&Telas"));
    m_screensMenu->setObjectName(QStringLiteral("mnuTelas"));
    rebuildScreensMenu();

    QMenu *windows = menuBar()->addMenu(QStringLiteral("&Janela"));
    connect(windows->addAction(QStringLiteral("&Cascata")), &QAction::triggered, m_mdiArea,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, m_mdiArea,
            &QMdiArea::tileSubWindows);
    connect(windows->addAction(QStringLiteral("&Fechar todas")), &QAction::triggered, m_mdiArea,
            &QMdiArea::closeAllSubWindows);
}

void HostMainWindow::rebuildScreensMenu()
{
    m_screensMenu->clear();
    for (const auto &package : m_loader.packages()) {
        QAction *action = m_screensMenu->addAction(package->menuText());
        const QString code = package->screenCode;
        connect(action, &QAction::triggered, this, [this, code] { openScreen(code); });
    }
    if (m_screensMenu->isEmpty())
        m_screensMenu->addAction(QStringLiteral("(nenhuma tela carregada)"))->setEnabled(false);
}

void HostMainWindow::loadPackages(const QString &dir)
{
    m_loader.loadAll(dir);
    rebuildScreensMenu();
    if (m_loader.errors().isEmpty()) {
        statusBar()->showMessage(
            QStringLiteral("%1 pacote(s) carregado(s)").arg(m_loader.packages().size()), 5000);
    }
}

bool HostMainWindow::openScreen(const QString &screenCode)
{
    return SafeCall([this, screenCode] { m_loader.openScreen(screenCode); });
}

QString HostMainWindow::statusText() const
{
    return m_statusLabel->text();
}

void HostMainWindow::updateStatus()
{
    const HostConfig &config = HostConfig::current();
    const NetSession &session = NetSession::shared();
    // The signed-in user when the server asks for one, else the system's.
    const QString user = session.signedIn()           ? session.login()
                         : session.signInRequired() ? QStringLiteral("(não identificado)")
                                                    : userName();
    m_statusLabel->setText(QStringLiteral("Servidor: %1:%2 | Banco: %3 | Usuário: %4 | %5")
                               .arg(config.serverHost)
                               .arg(config.serverPort)
                               .arg(shownDatabaseUrl(config.databaseUrl), user,
                                    encryptionText(session, config)));
}

void HostMainWindow::closeEvent(QCloseEvent *event)
{
    m_mdiArea->closeAllSubWindows();
    // A screen may refuse to close; then the host stays open too.
    for (QMdiSubWindow *window : m_mdiArea->subWindowList()) {
        if (window->isVisible()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void HostMainWindow::closeAllWindows()
{
    m_mdiArea->closeAllSubWindows();
    // Closed windows are freed later by the event loop; the packages' code
    // must not be unloaded under them, so free them now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_application->DestroyForms();
}

void HostMainWindow::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    closeAllWindows();
    m_loader.unloadAll();
    rebuildScreensMenu();
}
