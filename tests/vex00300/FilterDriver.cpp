#include "FilterDriver.h"

#include "Cli_vex00301.h"

#include "Database.h"
#include "Schema.h"
#include "controls/TMaskEdit.h"
#include "data/TdtmDBGeral.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace VexTest {

QWidget *FilterDriver::control(const QString &name) const
{
    auto *widget = m_dialog->findChild<QWidget *>(name);
    if (!widget)
        qFatal("no control named %s", qPrintable(name));
    return widget;
}

QString *FilterDriver::unitString(const QString &name)
{
    using namespace Cli_vex00301;
    const QMap<QString, QString *> strings = {
        {"stTFilSoli", &stTFilSoli}, {"stLFilSoli", &stLFilSoli},
        {"stFilOL", &stFilOL},       {"stDtEntr", &stDtEntr},
        {"stDtSoli", &stDtSoli},     {"stProd", &stProd},
        {"stListaConsol", &stListaConsol}, {"stTodasConsol", &stTodasConsol},
    };
    QString *value = strings.value(name);
    if (!value)
        qFatal("no unit string %s", qPrintable(name));
    return value;
}

void FilterDriver::run(const QString &steps)
{
    const QStringList list = steps.split(u';', Qt::SkipEmptyParts);
    for (const QString &s : list)
        step(s.trimmed());
}

void FilterDriver::step(const QString &step)
{
    if (step.startsWith(u'$')) {
        *unitString(step.mid(1).section(u'=', 0, 0)) = step.section(u'=', 1);
        return;
    }
    const QString verb = step.section(u' ', 0, 0);
    const QString target = step.section(u' ', 1, 1);
    if (verb == QLatin1String("click")) {
        QWidget *widget = control(target);
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    } else if (verb == QLatin1String("type")) {
        auto *edit = qobject_cast<QLineEdit *>(control(target));
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, step.section(u' ', 2));
    } else if (verb == QLatin1String("fill")) {
        auto *edit = qobject_cast<QLineEdit *>(control(target));
        if (auto *masked = qobject_cast<TMaskEdit *>(edit))
            masked->SetText(step.section(u' ', 2));
        else
            edit->setText(step.section(u' ', 2));
    } else if (verb == QLatin1String("set")) {
        qobject_cast<QAbstractButton *>(control(target))->setChecked(step.section(u' ', 2) == "1");
    } else if (verb == QLatin1String("focus")) {
        control(target)->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    } else if (verb == QLatin1String("key")) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            focus = m_dialog;
        const QKeySequence sequence = QKeySequence::fromString(target);
        QTest::keySequence(focus, sequence);
        QApplication::processEvents();
    } else {
        qFatal("unknown step: %s", qPrintable(step));
    }
}

QStringList FilterDriver::mismatches(const QString &expectations) const
{
    QStringList wrong;
    const QStringList tokens = expectations.split(u' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        QString got;
        QString want;
        if (token.startsWith(u'$')) {
            got = *unitString(token.mid(1).section(u'=', 0, 0));
            want = token.section(u'=', 1);
        } else if (token.contains(u'~')) {
            QWidget *widget = control(token.section(u'~', 0, 0));
            if (auto *masked = qobject_cast<TMaskEdit *>(widget))
                got = masked->IsBlank() ? QString() : masked->Text();
            else if (auto *edit = qobject_cast<QLineEdit *>(widget))
                got = edit->text();
            else
                got = QStringLiteral("<not an edit>");
            want = token.section(u'~', 1).replace(u'_', u' ');
        } else if (token.contains(u':')) {
            got = control(token.section(u':', 0, 0))->isEnabled() ? "on" : "off";
            want = token.section(u':', 1);
        } else {
            auto *button = qobject_cast<QAbstractButton *>(control(token.section(u'=', 0, 0)));
            got = button && button->isChecked() ? "1" : "0";
            want = token.section(u'=', 1);
        }
        if (got != want)
            wrong << token + QStringLiteral(" (got ") + got + u')';
    }
    return wrong;
}

QString FilterDriver::focusName() const
{
    QWidget *focus = m_dialog->focusWidget();
    return focus ? focus->objectName() : QString();
}

QString openProductDatabase(const QTemporaryDir &dir)
{
    const QString url = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("filtro.db"));
    {
        QString error;
        QSqlDatabase db = VexDb::open(url, QStringLiteral("filtro-setup"), &error);
        if (!db.isOpen() || !VexDb::Schema::migrate(db, &error))
            qFatal("fixture database: %s", qPrintable(error));
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral(
                "INSERT INTO PRODUTO VALUES ('G1', '01', 'Alimentos', 1, 'UN'),"
                " ('S1', '0102', 'Cereais', 2, 'UN'),"
                " ('P1', '01020001', 'Arroz agulhinha 5 kg', 3, 'FD'),"
                " ('P2', '01020002', 'Feijão carioca 1 kg', 3, 'FD')")))
            qFatal("fixture products: %s", qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("filtro-setup"));
    dtmDBGeral().Open(url);
    return url;
}

} // namespace VexTest
