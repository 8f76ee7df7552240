#include "TDBNavigator.h"

#include "data/TClientDataSet.h"
#include "data/TDataLink.h"
#include "services/SafeCall.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {
struct NavButton
{
    QStyle::StandardPixmap icon;
    const char *hint;
    void (TClientDataSet::*move)();
};
const NavButton kNavButtons[4] = {
    {QStyle::SP_MediaSkipBackward, "Primeiro", &TClientDataSet::First},
    {QStyle::SP_MediaSeekBackward, "Anterior", &TClientDataSet::Prior},
    {QStyle::SP_MediaSeekForward, "Próximo", &TClientDataSet::Next},
    {QStyle::SP_MediaSkipForward, "Último", &TClientDataSet::Last},
};
} // namespace

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent), m_link(new TDataLink(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        auto *button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(style()->standardIcon(kNavButtons[i].icon));
        button->setToolTip(QString::fromUtf8(kNavButtons[i].hint));
        button->setObjectName(QStringLiteral("navButton%1").arg(i));
        button->setFixedSize(21, 21);
        layout->addWidget(button);
        m_buttons[i] = button;
        const auto move = kNavButtons[i].move;
        connect(button, &QToolButton::clicked, this, [this, move] {
            TClientDataSet *ds = m_link->DataSet();
            if (ds && ds->Active())
                SafeCall([ds, move] { (ds->*move)(); });
        });
    }
    m_link->OnDataChanged = [this] { updateButtons(); };
    m_link->OnRecordChanged = [this] { updateButtons(); };
    updateButtons();
}

TDBNavigator::~TDBNavigator()
{
    delete m_link;
}

TDataSource *TDBNavigator::DataSource() const
{
    return m_link->DataSource();
}

void TDBNavigator::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
}

QToolButton *TDBNavigator::button(int index) const
{
    return index >= 0 && index < 4 ? m_buttons[index] : nullptr;
}

void TDBNavigator::updateButtons()
{
    const TClientDataSet *ds = m_link->DataSet();
    const bool active = ds && ds->Active() && !ds->IsEmpty();
    const bool atFirst = !active || ds->CurrentRow() <= 0;
    const bool atLast = !active || ds->CurrentRow() >= ds->RecordCount() - 1;
    m_buttons[0]->setEnabled(!atFirst);
    m_buttons[1]->setEnabled(!atFirst);
    m_buttons[2]->setEnabled(!atLast);
    m_buttons[3]->setEnabled(!atLast);
}
