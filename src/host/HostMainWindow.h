#pragma once

#include "PackageLoader.h"

#include <QMainWindow>

class QLabel;
class QMdiArea;
class QMenu;
class TApplication;

// The MDI frame: the screens of the loaded packages in "Telas", the usual
// window commands, and a status bar naming the server, database and user.
class HostMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit HostMainWindow(QWidget *parent = nullptr);
    ~HostMainWindow() override; // shutdown() if not done yet

    // Message boxes for the framework's message and error displays.
    static void installDialogDisplays();
    // Why the host cannot start (a broken vex.ini): on stderr, and in a
    // message box too when a person can see one (a real display).
    static void reportStartFailure(const QString &reason, bool onScreen);
    static bool hasScreen(); // false on the offscreen and minimal platforms

    // Loads the packages of dir (see PackageLoader) and lists their screens.
    void loadPackages(const QString &dir);
    // Opens a screen through its package's IniProc; errors go to the error
    // display. False when it failed.
    bool openScreen(const QString &screenCode);
    // Closes every window of the packages, then finalizes and unloads them.
    void shutdown();

    QMdiArea *mdiArea() const { return m_mdiArea; }
    QMenu *screensMenu() const { return m_screensMenu; }
    PackageLoader &loader() { return m_loader; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void rebuildScreensMenu();
    void updateStatus();
    void closeAllWindows();

    QMdiArea *m_mdiArea;
    TApplication *m_application;
    QMenu *m_screensMenu = nullptr;
    QLabel *m_statusLabel;
    PackageLoader m_loader;
    bool m_shutDown = false;
};
