#pragma once

#include "PresetDialog.h"
#include "services/TMessages.h"

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;
class TButtonFlat;
class TDateEditPlus;

// Base modal filter dialog: criteria area on the left, a button column on
// the right (confirm, cancel, load and save options), a message table and a
// name=value option list saved per screen in the user's configuration folder.
class TfrmFiltroPadrao : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFiltroPadrao(QWidget *parent = nullptr);

    void DoCreate(); // called by TApplication::CreateDialog

    QGroupBox *grbFiltroPadrao;
    QWidget *panMenu;
    TButtonFlat *sbtConfirma;
    TButtonFlat *sbtCancela;
    TButtonFlat *btfLoadOpc;
    TButtonFlat *btfSaveOpc;
    QLabel *lblCodTela;
    TMessages msgPadrao;
    QStringList Opcoes; // "name=value" lines

    QString screenCode() const; // lblCodTela's text, names the options file
    // The file of the options set in use: the named one chosen last with the
    // load or save button, or the screen's unnamed one. Throws EVexError for
    // an unusable screen code.
    QString optionsPath() const;
    QString PresetName() const { return m_presetName; }
    void SetPresetName(const QString &name) { m_presetName = name; }

    // Two date edits that a set of options may keep as days from the day of
    // use instead of as dates; `first` names the range.
    struct DateRange
    {
        QString caption;
        TDateEditPlus *first = nullptr;
        TDateEditPlus *last = nullptr;
    };
    // The ranges the set in use keeps relative (their first edits' names):
    // read from each set loaded, chosen when saving with a name.
    QStringList RelativeRanges() const { return m_relative; }
    void SetRelativeRanges(const QStringList &firstNames) { m_relative = firstNames; }

    QSize sizeHint() const override;

protected:
    virtual void FormCreate() {}
    virtual void FormShow() {}
    // Each time the dialog becomes the active window (every opening, and on
    // coming back from a window it opened).
    virtual void FormActivate() {}
    virtual void FormClose() {}
    virtual void sbtConfirmaClick() {}
    // Reads the options file into Opcoes and sets the named controls from
    // it (check boxes, radio buttons, edits, date edits, combo boxes); what it
    // could not use is named in one message. The buttons ask for the set
    // first (PresetDialog), then run these.
    virtual void btfLoadOpcClick();
    // Puts the named controls' values into Opcoes and writes it atomically.
    virtual void btfSaveOpcClick();
    // Entries of Opcoes that a screen keeps itself, not in a control.
    virtual QStringList ExtraOptionNames() const { return {}; }
    virtual QList<DateRange> DateRanges() const { return {}; }

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    void addShortcuts();
    QList<QWidget *> optionControls() const;
    void storeControls();
    void storeRelativeDates();
    QStringList restoreControls();
    QStringList restoreRelativeDates();
    void applyDefaultPreset();
    void confirmByKeyboard();
    void addPresetMenus();
    void choosePreset(PresetDialog::Mode mode);
    void placeAreas();

    bool m_created = false;
    bool m_defaultPending = false; // the set "Usar ao abrir", until the first activation
    QString m_presetName;
    QStringList m_relative;
};
