#pragma once

#include <QList>
#include <QMdiArea>
#include <QObject>
#include <QPointer>

class QMdiSubWindow;
class QWidget;
class TfrmPadrao;

// The host's application object: packages create their windows through it
// so that the host owns them. One per process, created by the host (or a
// test) before any package is used.
class TApplication : public QObject
{
    Q_OBJECT
public:
    explicit TApplication(QMdiArea *mdiArea, QObject *parent = nullptr);
    ~TApplication() override;

    static TApplication *instance();

    QMdiArea *MdiArea() const { return m_mdiArea; }

    // Creates an MDI child form: constructs it, runs its FormCreate (an
    // exception there destroys the form and propagates) and adds it to the
    // MDI area, hidden. Closing the form frees it (QPointer holders see null).
    template<class T>
    T *CreateForm()
    {
        auto *form = new T();
        adoptMdiChild(form);
        return form;
    }
    // Creates a modal dialog owned by the main window.
    template<class T>
    T *CreateDialog()
    {
        auto *dialog = new T(mainWindow());
        adoptDialog(dialog);
        return dialog;
    }

    // Shows an MDI child and brings it to the front.
    void ShowForm(QWidget *form);

    QWidget *mainWindow() const;

    // Deletes every MDI window and every dialog made by CreateDialog, at
    // once: the host calls it before unloading the packages whose code they run.
    void DestroyForms();

    // The MDI window that holds form, or null.
    QMdiSubWindow *subWindowOf(const QWidget *form) const;

private:
    void adoptMdiChild(TfrmPadrao *form);
    void adoptDialog(QWidget *dialog);
    // Runs the form's FormActivate each time its window becomes the active one.
    void onSubWindowActivated(QMdiSubWindow *window);

    QPointer<QMdiArea> m_mdiArea;
    QList<QPointer<QWidget>> m_dialogs;
};
