#pragma once

#include "services/TMessages.h"

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;
class TButtonFlat;

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
    QString optionsPath() const; // throws EVexError for an unusable screen code

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
    // it (check boxes, radio buttons, edits, date edits, combo boxes).
    virtual void btfLoadOpcClick();
    // Puts the named controls' values into Opcoes and writes it atomically.
    virtual void btfSaveOpcClick();

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    void addShortcuts();
    QList<QWidget *> optionControls() const;
    void storeControls();
    void restoreControls();
    void placeAreas();

    bool m_created = false;
};
