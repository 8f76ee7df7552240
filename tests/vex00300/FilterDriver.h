#pragma once

#include <QString>
#include <QStringList>

class QTemporaryDir;
class QWidget;
class TfrmFiltroAcomPOL;

namespace VexTest {

// Drives the filter dialog as a user does, by control names:
//   "click chbED"               mouse click
//   "type medFilOL 0100"        focus, clear, type
//   "fill edtFilOL Nome"        text set by code
//   "set chbED 0"               checked state set by code
//   "focus rbtConsolTodas"      focus moved by code
//   "key Tab" / "key ctrl+Return" on the focused control
//   "$stLFilSoli=0001,0002"     a unit-level working string
// and checks states, all space separated:
//   "chbED=1" / "chbED=0"       checked or not
//   "grbStatus:on" / ":off"     enabled or not
//   "edtFilOL~OL_Um"            text, '_' for a space ("~" alone: empty, or a
//                               blank mask)
//   "$stDtEntr=T"               a unit-level working string
class FilterDriver final
{
public:
    explicit FilterDriver(TfrmFiltroAcomPOL *dialog) : m_dialog(dialog) {}

    QWidget *control(const QString &name) const; // fails the test when missing
    void run(const QString &steps);              // ';' separated
    // What differs from the expectations; empty when all hold.
    QStringList mismatches(const QString &expectations) const;
    QString focusName() const;

    static QString *unitString(const QString &name);

private:
    void step(const QString &step);
    TfrmFiltroAcomPOL *m_dialog;
};

// A SQLite database with the schema and a few products, opened as the
// host's general database.
QString openProductDatabase(const QTemporaryDir &dir);

} // namespace VexTest
