#pragma once

// The screen cursor, as the classic cursor values name it.
namespace Screen {
enum TCursor { crDefault = 0, crHourGlass = -11 };

void SetCursor(int cursor); // crDefault restores the normal cursor
int Cursor();
} // namespace Screen
