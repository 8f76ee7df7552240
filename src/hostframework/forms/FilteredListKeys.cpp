#include "FilteredListKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {
bool isText(const QKeyEvent *key)
{
    if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::ShiftModifier)
        return false;
    if (key->key() == Qt::Key_Backspace)
        return true;
    return !key->text().isEmpty() && key->text().at(0).isPrint();
}
} // namespace

bool passFilteredListKey(QObject *watched, QKeyEvent *key, QLineEdit *filter, QWidget *view,
                         std::initializer_list<int> navigation, FilterNavigation how)
{
    if (watched == filter) {
        for (int k : navigation) {
            if (key->key() != k)
                continue;
            if (how == FilterNavigation::EntersList)
                view->setFocus(Qt::OtherFocusReason);
            else
                QCoreApplication::sendEvent(view, key);
            return true;
        }
        return false;
    }
    if (watched == view && isText(key)) {
        filter->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(filter, key);
        return true;
    }
    return false;
}
