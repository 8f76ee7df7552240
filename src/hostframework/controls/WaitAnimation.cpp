#include "WaitAnimation.h"

#include "WaitOverlay.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace {
const char kDefaultCaption[] = "Aguarde...";

struct WaitCall
{
    QPointer<QWidget> form;
    QString caption;
};

QList<WaitCall> &calls()
{
    static QList<WaitCall> list;
    return list;
}

QPointer<WaitOverlay> &overlay()
{
    static QPointer<WaitOverlay> box;
    return box;
}

// The box goes where the user looks: over the modal window in front when
// the form lies behind it (a call of the window made from its dialog).
QWidget *frontOf(QWidget *form)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == form->window())
        return form;
    return modal;
}

// The newest call decides what is shown; forms that went away meanwhile are
// skipped.
void showTop()
{
    QWidget *form = nullptr;
    QString caption;
    for (auto it = calls().crbegin(); it != calls().crend(); ++it) {
        if (it->form) {
            form = it->form;
            caption = it->caption;
            break;
        }
    }
    if (!form) {
        delete overlay().data();
        return;
    }
    form = frontOf(form);
    if (overlay() && overlay()->parentWidget() != form)
        delete overlay().data();
    if (!overlay())
        overlay() = new WaitOverlay(form);
    overlay()->setCaption(caption.isEmpty() ? QString::fromUtf8(kDefaultCaption) : caption);
    overlay()->show();
    overlay()->place();
    // The caller blocks right after this: paint now, not on the next loop turn.
    overlay()->repaint();
}
} // namespace

void ActiveShowAvi(QWidget *form, int kind, const QString &caption)
{
    Q_UNUSED(kind) // one look for every kind
    calls().append({form, caption});
    showTop();
}

void DeactiveShowAvi()
{
    if (calls().isEmpty())
        return;
    calls().removeLast();
    showTop();
}

namespace WaitAnimation {
int depth()
{
    return int(calls().size());
}

bool visible()
{
    return overlay() && !overlay()->isHidden();
}

QString caption()
{
    return visible() ? overlay()->caption() : QString();
}
} // namespace WaitAnimation
