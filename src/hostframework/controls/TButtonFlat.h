#pragma once

#include <QToolButton>

#include <functional>

// Flat tool-bar button, 21 x 21 by default, hint as tool tip. Clicks run
// the connected handlers through SafeCall (see OnClick).
class TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget *parent = nullptr);
    void SetHint(const QString &hint);
    QString Hint() const { return toolTip(); }

    // Click handler, run through SafeCall on every click.
    std::function<void()> OnClick;
};
