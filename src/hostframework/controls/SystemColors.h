#pragma once

#include <QColor>

// Classic system colours mapped to the platform palette.
namespace SystemColors {
enum Index {
    COLOR_HIGHLIGHT = 13,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_INFOBK = 24,
    COLOR_WINDOW = 5,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_INFOTEXT = 23,
};
// Caption text (9) maps to the palette's bright text and highlight text (14)
// to the selection text: different roles, even where a theme paints both the
// same. An unknown index gives the window colour (and a log line).
QColor color(int index);
inline QColor clInfoBk() { return color(COLOR_INFOBK); }
inline QColor clWindowText() { return color(COLOR_WINDOWTEXT); }
inline QColor clHighlight() { return color(COLOR_HIGHLIGHT); }
inline QColor clCaptionText() { return color(COLOR_CAPTIONTEXT); }
inline QColor clHighlightText() { return color(COLOR_HIGHLIGHTTEXT); }
inline QColor clWindow() { return color(COLOR_WINDOW); }
inline QColor clBtnFace() { return color(COLOR_BTNFACE); }
inline QColor clBtnHighlight() { return color(COLOR_BTNHIGHLIGHT); }
} // namespace SystemColors
