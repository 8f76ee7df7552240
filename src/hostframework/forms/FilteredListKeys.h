#pragma once

#include <initializer_list>

class QKeyEvent;
class QLineEdit;
class QObject;
class QWidget;

// The keys of a list under a filter edit: the `navigation` keys typed in the
// filter move the list, and text typed in the list goes on in the filter.
// True when the key was passed on.
bool passFilteredListKey(QObject *watched, QKeyEvent *key, QLineEdit *filter, QWidget *view,
                         std::initializer_list<int> navigation);
