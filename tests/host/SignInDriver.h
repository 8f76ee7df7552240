#pragma once

#include "forms/SignInDialog.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QtTest>

// Works each "Entrar" dialog that comes up with the keyboard, as a person
// would: one entry per dialog, "login:password" or "Esc". Records what the
// dialog showed.
class DialogDriver final : public QObject
{
public:
    explicit DialogDriver(const QStringList &entries) : m_entries(entries)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(20);
    }
    QStringList shown;   // the refusal text of each dialog
    QStringList focused; // the field holding the focus when it came up
    QStringList titles;

private:
    void poll()
    {
        auto *dialog = qobject_cast<SignInDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        titles << dialog->windowTitle();
        shown << dialog->message();
        QWidget *focus = dialog->focusWidget();
        focused << (focus ? focus->objectName() : QString());
        const QString entry = m_entries.value(shown.size() - 1, QStringLiteral("Esc"));
        if (entry == QLatin1String("Esc") || !focus) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        const QString login = entry.section(u':', 0, 0);
        if (focus->objectName() == QLatin1String("edtUsuario")) {
            QTest::keyClicks(focus, login);
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QTest::keyClicks(dialog->focusWidget(), entry.section(u':', 1));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    }

    QStringList m_entries;
    QTimer m_timer;
};
