#pragma once

#include "AcomPOLDataSets.h"
#include "TDataPacket.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class QMainWindow;
class QMdiArea;
class TApplication;
class TfrmAcomPOL;

namespace VexTest {

// A main window with an MDI area and the application object over it; the
// message and error displays write into lists.
class HostFixture final
{
public:
    HostFixture();
    ~HostFixture();

    QMainWindow *mainWindow = nullptr;
    QMdiArea *mdiArea = nullptr;
    TApplication *application = nullptr;
    QStringList messages;
    QStringList errors;
};

// Closes every modal window that comes up, counting them.
class ModalCloser final : public QObject
{
    Q_OBJECT
public:
    explicit ModalCloser(QObject *parent = nullptr);
    int closed() const { return m_titles.size(); }
    QStringList titles() const { return m_titles; }
    void reset() { m_titles.clear(); }
    // Runs on each modal window found, just before it is closed.
    std::function<void(QWidget *modal)> onFound;

private:
    void poll();
    QTimer m_timer;
    QStringList m_titles;
};

// A packet carrying every column of a data set's field list; a row's
// missing columns are null.
TDataPacket packetFor(const QList<AcomPOLDataSets::FieldDef> &fields,
                      const QList<QVariantMap> &rows);
QJsonObject packetJson(const QList<AcomPOLDataSets::FieldDef> &fields,
                       const QList<QVariantMap> &rows);
TDataPacket branchPacket(const QStringList &codes);

// Points the host configuration at a server port.
void useServerPort(quint16 port);
// A loopback port nobody listens on.
// What a confirmation with every criterion left open (operator 0100) does:
// the criteria to the window, then the branch list, which starts the cascade.
void confirmEverything(TfrmAcomPOL *window);

quint16 deadPort();          // refuses connections until releasePort
void releasePort(quint16 port);

} // namespace VexTest
