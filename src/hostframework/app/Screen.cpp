#include "Screen.h"

#include <QCursor>
#include <QGuiApplication>

namespace Screen {

namespace {
int g_cursor = crDefault;
bool g_overridden = false;
} // namespace

// Only the hourglass overrides the cursor; setting it again while it shows
// does not stack, so one crDefault always restores the normal cursor.
void SetCursor(int cursor)
{
    g_cursor = cursor == crHourGlass ? crHourGlass : crDefault;
    const bool wanted = g_cursor == crHourGlass;
    if (wanted == g_overridden)
        return;
    if (wanted)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    g_overridden = wanted;
}

int Cursor()
{
    return g_cursor;
}

} // namespace Screen
