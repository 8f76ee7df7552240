#pragma once

#include <QString>

class QWidget;

enum TShowAvi { saKind6 = 6 };

// Wait indicator over a form, or over the modal window in front of it,
// painted before the blocking call starts.
// Calls nest: each ActiveShowAvi needs one DeactiveShowAvi; the indicator
// stays until the outermost one; a nested caption replaces the shown one
// until its own DeactiveShowAvi. Hiding when not shown is harmless.
void ActiveShowAvi(QWidget *form, int kind, const QString &caption = {});
void DeactiveShowAvi();

namespace WaitAnimation {
int depth();           // how many ActiveShowAvi are open
bool visible();
QString caption();     // caption shown now
} // namespace WaitAnimation
