#pragma once

#include "controls/WaitAnimation.h"

#include <QString>

class QWidget;

// The wait animation for one server call; switched off however the call ends.
class WaitAnimationScope final
{
public:
    explicit WaitAnimationScope(QWidget *form, const QString &caption = {})
    {
        ActiveShowAvi(form, saKind6, caption);
    }
    ~WaitAnimationScope() { DeactiveShowAvi(); }
    WaitAnimationScope(const WaitAnimationScope &) = delete;
    WaitAnimationScope &operator=(const WaitAnimationScope &) = delete;
};
