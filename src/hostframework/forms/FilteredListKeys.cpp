#include "FilteredListKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

bool passFilteredListKey(QObject *watched, QKeyEvent *key, QLineEdit *filter, QWidget *view,
                         std::initializer_list<int> navigation)
{
    if (watched == filter) {
        for (int k : navigation) {
            if (key->key() == k) {
                QCoreApplication::sendEvent(view, key);
                return true;
            }
        }
        return false;
    }
    if (watched == view && !key->text().isEmpty() && key->text().at(0).isPrint()
        && key->modifiers() == Qt::NoModifier) {
        filter->setFocus();
        QCoreApplication::sendEvent(filter, key);
        return true;
    }
    return false;
}
