#pragma once

#include <initializer_list>

class QKeyEvent;
class QLineEdit;
class QObject;
class QWidget;

// How the navigation keys typed in the filter reach the list: they move it
// while the focus stays in the filter (a pick list, whose Enter picks from
// there), or they take the focus into the list at its current row, where
// other keys than text have their own meaning (Space marks a row).
enum class FilterNavigation { MovesList, EntersList };

// The keys of a list under a filter edit: the `navigation` keys typed in the
// filter reach the list, and text (Backspace too) typed in the list goes on
// in the filter. True when the key was passed on.
bool passFilteredListKey(QObject *watched, QKeyEvent *key, QLineEdit *filter, QWidget *view,
                         std::initializer_list<int> navigation,
                         FilterNavigation how = FilterNavigation::MovesList);
