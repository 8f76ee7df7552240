#include "TButtonFlat.h"

#include "services/SafeCall.h"

TButtonFlat::TButtonFlat(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(16, 16));
    resize(21, 21);
    connect(this, &QToolButton::clicked, this, [this] {
        if (OnClick)
            SafeCall(OnClick);
    });
}

void TButtonFlat::SetHint(const QString &hint)
{
    setToolTip(hint);
    setStatusTip(hint);
}
