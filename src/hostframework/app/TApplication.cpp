#include "TApplication.h"

#include "forms/TfrmFiltroPadrao.h"
#include "forms/TfrmPadrao.h"
#include "net/CallWait.h"
#include "services/Exceptions.h"

#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>

Q_LOGGING_CATEGORY(lcApplication, "vex.app", QtInfoMsg)

namespace {
TApplication *g_instance = nullptr;
}

TApplication::TApplication(QMdiArea *mdiArea, QObject *parent)
    : QObject(parent), m_mdiArea(mdiArea)
{
    if (g_instance)
        qCWarning(lcApplication) << "a second application object replaces the first";
    g_instance = this;
    if (m_mdiArea) {
        connect(m_mdiArea, &QMdiArea::subWindowActivated, this,
                &TApplication::onSubWindowActivated);
    }
}

TApplication::~TApplication()
{
    if (g_instance == this)
        g_instance = nullptr;
}

TApplication *TApplication::instance()
{
    return g_instance;
}

QWidget *TApplication::mainWindow() const
{
    return m_mdiArea ? m_mdiArea->window() : nullptr;
}

void TApplication::adoptMdiChild(TfrmPadrao *form)
{
    if (!m_mdiArea) {
        delete form;
        throw EVexError(QStringLiteral("Não há área de janelas para abrir a tela."));
    }
    auto *window = m_mdiArea->addSubWindow(form);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(form->windowTitle());
    window->hide();
    try {
        form->DoCreate();
    } catch (...) {
        m_mdiArea->removeSubWindow(window);
        delete window; // deletes the form with it
        throw;
    }
    window->setWindowTitle(form->windowTitle());
    window->setWindowIcon(form->windowIcon());
    window->resize(window->sizeHint());
}

void TApplication::adoptDialog(QWidget *dialog)
{
    auto *filterDialog = qobject_cast<TfrmFiltroPadrao *>(dialog);
    if (filterDialog) {
        try {
            filterDialog->DoCreate();
        } catch (...) {
            delete dialog;
            throw;
        }
    }
    m_dialogs.removeAll(nullptr);
    m_dialogs.append(dialog);
}

void TApplication::DestroyForms()
{
    if (m_mdiArea)
        qDeleteAll(m_mdiArea->subWindowList());
    const auto dialogs = m_dialogs;
    m_dialogs.clear();
    for (const QPointer<QWidget> &dialog : dialogs)
        delete dialog.data();
}

QMdiSubWindow *TApplication::subWindowOf(const QWidget *form) const
{
    if (!form || !m_mdiArea)
        return nullptr;
    const auto windows = m_mdiArea->subWindowList();
    for (QMdiSubWindow *window : windows) {
        if (window->widget() == form)
            return window;
    }
    return nullptr;
}

void TApplication::ShowForm(QWidget *form)
{
    QMdiSubWindow *window = subWindowOf(form);
    if (!window) {
        if (form) {
            form->show();
            form->raise();
            form->activateWindow();
        }
        return;
    }
    if (window->isMinimized())
        window->showNormal();
    // Showing the form shows its window: ask first whether this is the first time.
    const auto *screen = qobject_cast<TfrmPadrao *>(form);
    const bool maximize = !window->isVisible() && screen && screen->StartsMaximized();
    form->show();
    if (maximize)
        window->showMaximized();
    else
        window->show();
    window->raise();
    if (m_mdiArea->activeSubWindow() == window) {
        return;
    }
    m_mdiArea->setActiveSubWindow(window);
}

void TApplication::onSubWindowActivated(QMdiSubWindow *window)
{
    auto *form = window ? qobject_cast<TfrmPadrao *>(window->widget()) : nullptr;
    if (form)
        CallWait::afterWait(form, [form] { form->DoActivate(); });
}
