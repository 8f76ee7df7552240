#include "TfrmFiltroPadrao.h"

#include "OptionPresets.h"
#include "OptionsFile.h"
#include "RelativeDates.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "controls/TExitCheck.h"
#include "net/CallWait.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QAbstractButton>
#include <QDate>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace {
constexpr QSize kDesignClientSize(445, 392);
constexpr int kButtonColumnWidth = 55;
constexpr int kButtonWidth = 45;
constexpr int kButtonHeight = 40;

const QLatin1String kChecked("1");
const QLatin1String kUnchecked("0");

// The criteria area holds the framed groups; a frame of its own, as tall as
// the dialog, showed only as line stubs at the bottom edge.
class CriteriaArea final : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override {}
};
} // namespace

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    grbFiltroPadrao = new CriteriaArea(this);
    grbFiltroPadrao->setObjectName(QStringLiteral("grbFiltroPadrao"));
    panMenu = new QWidget(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));

    int top = 8;
    auto button = [this, &top](const char *name, QStyle::StandardPixmap icon,
                               const QString &hint) {
        auto *b = new TButtonFlat(panMenu);
        b->setObjectName(QLatin1String(name));
        b->setGeometry((kButtonColumnWidth - kButtonWidth) / 2, top, kButtonWidth, kButtonHeight);
        b->setIconSize(QSize(24, 24));
        b->setIcon(style()->standardIcon(icon));
        b->SetHint(hint);
        top += kButtonHeight + 4;
        return b;
    };
    sbtConfirma = button("sbtConfirma", QStyle::SP_DialogApplyButton,
                         QStringLiteral("Confirmar (Ctrl+Enter)"));
    sbtCancela = button("sbtCancela", QStyle::SP_DialogCancelButton,
                        QStringLiteral("Cancelar (Esc)"));
    TExitCheck::SetCancelControl(sbtCancela);
    top += 8;
    btfLoadOpc = button("btfLoadOpc", QStyle::SP_DialogOpenButton,
                        QStringLiteral("Carregar opções gravadas"));
    btfSaveOpc = button("btfSaveOpc", QStyle::SP_DialogSaveButton,
                        QStringLiteral("Gravar opções"));
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    QFont small = lblCodTela->font(); // a screen code fits the narrow column
    small.setPointSizeF(small.pointSizeF() * 0.8);
    lblCodTela->setFont(small);

    sbtConfirma->OnClick = [this] { sbtConfirmaClick(); };
    sbtCancela->OnClick = [this] { reject(); };
    btfLoadOpc->OnClick = [this] { btfLoadOpcClick(); };
    btfSaveOpc->OnClick = [this] { btfSaveOpcClick(); };
    addPresetMenus();
    addShortcuts();

    resize(kDesignClientSize);
    placeAreas();
}

// Ctrl+Enter confirms from any control (both Enter keys); Esc cancels, as
// the tool tips say.
void TfrmFiltroPadrao::addShortcuts()
{
    const QKeySequence confirmKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                        QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    for (const QKeySequence &keys : confirmKeys) {
        auto *confirm = new QShortcut(keys, this);
        confirm->setContext(Qt::WindowShortcut);
        connect(confirm, &QShortcut::activated, this, [this] { confirmByKeyboard(); });
    }
    auto *cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancel->setContext(Qt::WindowShortcut);
    connect(cancel, &QShortcut::activated, this, [this] { sbtCancela->click(); });
}

// The key confirms as if the user had left the edit first: a code typed
// and not yet checked is fitted and checked, and a refusal stops here with
// the focus in that edit. A click on the button moves no focus and checks
// nothing more.
void TfrmFiltroPadrao::confirmByKeyboard()
{
    if (sbtConfirma->isEnabled() && TExitCheck::Settle(this))
        sbtConfirma->click();
}

QSize TfrmFiltroPadrao::sizeHint() const
{
    return kDesignClientSize;
}

void TfrmFiltroPadrao::DoCreate()
{
    if (m_created)
        return;
    m_created = true;
    FormCreate();
    m_defaultPending = true;
}

// The set marked "Usar ao abrir" is applied as the user would load it, once
// the first activation has made the controls ready (the product mask, ...);
// one that cannot be read is reported and the dialog keeps its defaults.
void TfrmFiltroPadrao::applyDefaultPreset()
{
    QString name;
    if (!SafeCall([this, &name] { name = OptionPresets::defaultName(screenCode()); })
        || name.isEmpty())
        return;
    m_presetName = name;
    SafeCall([this] { btfLoadOpcClick(); });
}

// A click loads or saves the set in use; the buttons' menus (and two keys)
// choose among the named sets.
void TfrmFiltroPadrao::addPresetMenus()
{
    auto add = [this](TButtonFlat *button, const QString &text, const QKeySequence &keys,
                      PresetDialog::Mode mode) {
        auto *menu = new QMenu(button);
        QAction *action = menu->addAction(text);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this,
                [this, mode] { SafeCall([this, mode] { choosePreset(mode); }); });
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        const QString keyText = keys.toString(QKeySequence::NativeText);
        button->setToolTip(button->toolTip() + QStringLiteral("; %1 (%2)").arg(text, keyText));
    };
    add(btfLoadOpc, QStringLiteral("Carregar opções com nome..."),
        QKeySequence(Qt::CTRL | Qt::Key_O), PresetDialog::Mode::Load);
    add(btfSaveOpc, QStringLiteral("Gravar opções com nome..."),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), PresetDialog::Mode::Save);
}

void TfrmFiltroPadrao::choosePreset(PresetDialog::Mode mode)
{
    PresetDialog dialog(mode, screenCode(), m_presetName, this);
    if (mode == PresetDialog::Mode::Save) {
        const QDate today = QDate::currentDate();
        QList<PresetDialog::RelativeRange> ranges;
        const auto dateRanges = DateRanges();
        for (const DateRange &range : dateRanges) {
            const QDate first = range.first->Date();
            const QDate last = range.last->Date();
            const QString span = first.isValid() && last.isValid()
                ? RelativeDates::spanText(int(today.daysTo(first)), int(today.daysTo(last)))
                : QString();
            const QString key = range.first->objectName();
            ranges.append({key, range.caption, span, m_relative.contains(key)});
        }
        dialog.SetRelativeRanges(ranges);
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_presetName = dialog.Chosen();
    if (mode == PresetDialog::Mode::Save) {
        m_relative = dialog.RelativeKeys();
        btfSaveOpcClick();
    } else {
        btfLoadOpcClick();
    }
}

QString TfrmFiltroPadrao::screenCode() const
{
    return lblCodTela->text().trimmed();
}

QString TfrmFiltroPadrao::optionsPath() const
{
    return OptionPresets::pathFor(screenCode(), m_presetName);
}

// Named controls outside the button column; Qt's inner parts (the edit in a
// spin box, ...) carry "qt_" names and are left out.
QList<QWidget *> TfrmFiltroPadrao::optionControls() const
{
    QList<QWidget *> controls;
    const auto widgets = findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString name = widget->objectName();
        // Windows it opens (pick lists, the named sets) are not its options.
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))
            || panMenu->isAncestorOf(widget) || widget->window() != this)
            continue;
        const bool checkable = qobject_cast<QCheckBox *>(widget)
                               || qobject_cast<QRadioButton *>(widget);
        if (checkable || qobject_cast<QLineEdit *>(widget) || qobject_cast<QDateTimeEdit *>(widget)
            || qobject_cast<QComboBox *>(widget)) {
            controls << widget;
        }
    }
    return controls;
}

void TfrmFiltroPadrao::storeControls()
{
    const auto controls = optionControls();
    for (QWidget *widget : controls) {
        QString value;
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            value = button->isChecked() ? kChecked : kUnchecked;
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            value = edit->text();
        else if (auto *date = qobject_cast<QDateTimeEdit *>(widget))
            value = date->dateTime().toString(Qt::ISODate);
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            value = QString::number(combo->currentIndex());
        OptionsFile::setValue(Opcoes, widget->objectName(), value);
    }
    storeRelativeDates();
}

// Beside each date, for the ranges kept relative, its days from today; a
// range not wholly filled stays as it is, blank included.
void TfrmFiltroPadrao::storeRelativeDates()
{
    Opcoes.erase(std::remove_if(Opcoes.begin(), Opcoes.end(),
                                [](const QString &line) {
                                    return RelativeDates::isEntryName(line.section(u'=', 0, 0));
                                }),
                 Opcoes.end());
    const QDate today = QDate::currentDate();
    const auto ranges = DateRanges();
    for (const DateRange &range : ranges) {
        const QDate first = range.first->Date();
        const QDate last = range.last->Date();
        if (!m_relative.contains(range.first->objectName()) || !first.isValid()
            || !last.isValid())
            continue;
        OptionsFile::setValue(Opcoes, RelativeDates::entryName(range.first->objectName()),
                              QString::number(today.daysTo(first)));
        OptionsFile::setValue(Opcoes, RelativeDates::entryName(range.last->objectName()),
                              QString::number(today.daysTo(last)));
    }
}

// Sets what it can; returns the names of the entries it could not use
// (no such control any more, or a value the control cannot take).
QStringList TfrmFiltroPadrao::restoreControls()
{
    QStringList skipped;
    QStringList known = ExtraOptionNames();
    const auto controls = optionControls();
    for (QWidget *widget : controls) {
        known << widget->objectName();
        bool found = false;
        const QString value = OptionsFile::value(Opcoes, widget->objectName(), &found);
        if (!found)
            continue;
        const bool checkable = qobject_cast<QAbstractButton *>(widget);
        if (checkable && value != kChecked && value != kUnchecked) {
            skipped << widget->objectName();
            continue;
        }
        if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
            // Selecting one radio button unselects its partners.
            if (value == kChecked)
                radio->setChecked(true);
        } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
            check->setChecked(value == kChecked);
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            edit->setText(value);
        } else if (auto *date = qobject_cast<QDateTimeEdit *>(widget)) {
            const QDateTime when = QDateTime::fromString(value, Qt::ISODate);
            if (when.isValid())
                date->setDateTime(when);
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (ok && index >= -1 && index < combo->count())
                combo->setCurrentIndex(index);
            else
                skipped << widget->objectName();
        }
    }
    skipped << restoreRelativeDates();
    for (const QString &line : std::as_const(Opcoes)) {
        const QString name = line.section(u'=', 0, 0);
        if (!known.contains(name) && !RelativeDates::isEntryName(name))
            skipped << name;
    }
    return skipped;
}

// A date kept relative is the day of use moved by its days; the ranges so
// kept stay relative when the set is saved again.
QStringList TfrmFiltroPadrao::restoreRelativeDates()
{
    QStringList skipped;
    const QDate today = QDate::currentDate();
    for (const QString &line : std::as_const(Opcoes)) {
        const QString name = line.section(u'=', 0, 0);
        if (!RelativeDates::isEntryName(name))
            continue;
        auto *edit = findChild<TDateEditPlus *>(RelativeDates::controlOf(name));
        const std::optional<int> days = RelativeDates::days(line.section(u'=', 1));
        if (edit && days && edit->window() == this)
            edit->SetDate(today.addDays(*days));
        else
            skipped << name;
    }
    m_relative.clear();
    const auto ranges = DateRanges();
    for (const DateRange &range : ranges) {
        const QString key = range.first->objectName();
        if (RelativeDates::days(OptionsFile::value(Opcoes, RelativeDates::entryName(key))))
            m_relative << key;
    }
    return skipped;
}

void TfrmFiltroPadrao::btfLoadOpcClick()
{
    // Read everything first: a bad file changes neither the list nor a control.
    Opcoes = OptionsFile::read(optionsPath());
    const QStringList skipped = restoreControls();
    if (!skipped.isEmpty()) {
        HostDisplays::showMessage(
            QStringLiteral("As opções gravadas foram carregadas, exceto: %1.")
                .arg(skipped.join(QStringLiteral(", "))));
    }
}

void TfrmFiltroPadrao::btfSaveOpcClick()
{
    const QString path = optionsPath();
    storeControls();
    OptionsFile::write(path, Opcoes);
}

void TfrmFiltroPadrao::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        SafeCall([this] { FormShow(); });
}

void TfrmFiltroPadrao::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && isActiveWindow()) {
        CallWait::afterWait(this, [this] {
            SafeCall([this] { FormActivate(); });
            if (std::exchange(m_defaultPending, false))
                applyDefaultPreset();
        });
    }
}

void TfrmFiltroPadrao::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeAreas();
}

void TfrmFiltroPadrao::placeAreas()
{
    const int column = qMax(0, width() - kButtonColumnWidth);
    grbFiltroPadrao->setGeometry(0, 0, column, height());
    panMenu->setGeometry(column, 0, kButtonColumnWidth, height());
    lblCodTela->setGeometry(0, height() - 20, kButtonColumnWidth, 16);
}

void TfrmFiltroPadrao::done(int result)
{
    SafeCall([this] { FormClose(); });
    QDialog::done(result);
}
