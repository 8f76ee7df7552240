#include "SystemColors.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPalette>

Q_LOGGING_CATEGORY(lcSystemColors, "vex.controls.colors", QtInfoMsg)

namespace SystemColors {

namespace {
struct RoleOf
{
    int index;
    QPalette::ColorRole role;
};

// Caption text (9) is the text drawn on an active caption bar: the palette's
// bright, high-contrast text. Highlight text (14) is the text on a selection.
// Both are usually light, but they are different roles and a theme may set
// them apart, so they are not folded into one.
constexpr RoleOf kRoles[] = {
    {0, QPalette::Button},           // scroll bar
    {1, QPalette::Window},           // desktop
    {2, QPalette::Highlight},        // active caption
    {3, QPalette::Mid},              // inactive caption
    {4, QPalette::Window},           // menu
    {COLOR_WINDOW, QPalette::Base},
    {6, QPalette::Shadow},           // window frame
    {7, QPalette::WindowText},       // menu text
    {COLOR_WINDOWTEXT, QPalette::WindowText},
    {COLOR_CAPTIONTEXT, QPalette::BrightText},
    {10, QPalette::Window},          // active border
    {11, QPalette::Window},          // inactive border
    {12, QPalette::Dark},            // MDI workspace
    {COLOR_HIGHLIGHT, QPalette::Highlight},
    {COLOR_HIGHLIGHTTEXT, QPalette::HighlightedText},
    {COLOR_BTNFACE, QPalette::Button},
    {COLOR_BTNSHADOW, QPalette::Dark},
    {COLOR_GRAYTEXT, QPalette::PlaceholderText},
    {COLOR_BTNTEXT, QPalette::ButtonText},
    {19, QPalette::Mid},             // inactive caption text
    {COLOR_BTNHIGHLIGHT, QPalette::Light},
    {21, QPalette::Shadow},          // 3-D dark shadow
    {22, QPalette::Midlight},        // 3-D light
    {COLOR_INFOTEXT, QPalette::ToolTipText},
    {COLOR_INFOBK, QPalette::ToolTipBase},
};
} // namespace

QColor color(int index)
{
    const QPalette palette = QGuiApplication::palette();
    for (const RoleOf &entry : kRoles) {
        if (entry.index == index)
            return palette.color(QPalette::Active, entry.role);
    }
    qCWarning(lcSystemColors) << "unknown system colour" << index << "- using the window colour";
    return palette.color(QPalette::Active, QPalette::Window);
}

} // namespace SystemColors
