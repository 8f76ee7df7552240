#include "controls/WaitAnimation.h"
#include "net/CallWait.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <QFrame>
#include <QtTest>

class tst_WaitAnimation : public QObject
{
    Q_OBJECT

private:
    QWidget *form = nullptr;

    QFrame *overlay() const { return form->findChild<QFrame *>(QStringLiteral("waitAnimation")); }

private Q_SLOTS:
    void init()
    {
        form = new QWidget;
        form->resize(800, 600);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }
    void cleanup()
    {
        while (WaitAnimation::depth() > 0)
            DeactiveShowAvi();
        delete form;
    }

    // Each step: "+caption" opens a call ("+" alone: no caption), "-" ends one.
    void nesting_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("captions"); // shown after each step ("" = hidden)
        QTest::addColumn<QList<int>>("depths");
        QTest::newRow("one call, default caption")
            << QStringList{"+", "-"} << QStringList{"Aguarde...", ""} << QList<int>{1, 0};
        QTest::newRow("one call with caption")
            << QStringList{"+Carregando filiais", "-"} << QStringList{"Carregando filiais", ""}
            << QList<int>{1, 0};
        QTest::newRow("nested captions stack")
            << QStringList{"+Filiais", "+Solicitações", "+", "-", "-", "-"}
            << QStringList{"Filiais", "Solicitações", "Aguarde...", "Solicitações", "Filiais", ""}
            << QList<int>{1, 2, 3, 2, 1, 0};
        QTest::newRow("extra hide is harmless")
            << QStringList{"-", "+A", "-", "-", "+B", "-"}
            << QStringList{"", "A", "", "", "B", ""} << QList<int>{0, 1, 0, 0, 1, 0};
    }
    void nesting()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, captions);
        QFETCH(QList<int>, depths);
        for (int i = 0; i < steps.size(); ++i) {
            const QString step = steps.at(i);
            if (step.startsWith('+'))
                ActiveShowAvi(form, saKind6, step.mid(1));
            else
                DeactiveShowAvi();
            const QByteArray where = QByteArray::number(i) + ": " + step.toUtf8();
            QVERIFY2(WaitAnimation::depth() == depths.at(i), where.constData());
            QVERIFY2(WaitAnimation::caption() == captions.at(i), where.constData());
            QVERIFY2(WaitAnimation::visible() == !captions.at(i).isEmpty(), where.constData());
            QVERIFY2((overlay() && overlay()->isVisible()) == WaitAnimation::visible(),
                     where.constData());
        }
    }

    void overlayIsCentredOnTopOfTheForm()
    {
        auto *child = new QWidget(form);
        child->setGeometry(0, 0, 800, 600);
        child->show();
        ActiveShowAvi(form, saKind6, QStringLiteral("Aguarde a consulta"));
        QFrame *box = overlay();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), form);
        QVERIFY(qAbs(box->geometry().center().x() - form->rect().center().x()) <= 1);
        QVERIFY(qAbs(box->geometry().center().y() - form->rect().center().y()) <= 1);
        QWidget *top = form->childAt(form->rect().center());
        QVERIFY(top == box || box->isAncestorOf(top)); // above the form's own child
        form->resize(400, 300);
        QVERIFY(qAbs(box->geometry().center().x() - form->rect().center().x()) <= 1);
        DeactiveShowAvi();
        QVERIFY(!overlay() || !overlay()->isVisible());
    }

    // A call of the window made from the modal dialog in front of it: the
    // box shows over the dialog, where the user looks, not behind it.
    void overTheModalInFront()
    {
        QDialog dialog;
        dialog.setModal(true);
        dialog.resize(445, 392);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ActiveShowAvi(form, saKind6, QStringLiteral("Buscando dados..."));
        auto *box = dialog.findChild<QFrame *>(QStringLiteral("waitAnimation"));
        QVERIFY(box && box->isVisible());
        QVERIFY(!overlay());
        DeactiveShowAvi();
    }

    void formDestroyedWhileShown()
    {
        auto *other = new QWidget;
        other->show();
        ActiveShowAvi(form, saKind6, QStringLiteral("Fora"));
        ActiveShowAvi(other, saKind6, QStringLiteral("Dentro"));
        QCOMPARE(WaitAnimation::caption(), QString("Dentro"));
        delete other;
        QCOMPARE(WaitAnimation::depth(), 2);
        DeactiveShowAvi();
        QCOMPARE(WaitAnimation::caption(), QString("Fora"));
        QCOMPARE(overlay()->parentWidget(), form);
        DeactiveShowAvi();
        QVERIFY(!WaitAnimation::visible());
    }

    // A call that takes longer than a second offers its time and a way out;
    // the button gives up on the call.
    void longCallOffersCancel()
    {
        ActiveShowAvi(form, saKind6, QStringLiteral("Buscando dados..."));
        auto *cancel = overlay()->findChild<QPushButton *>(QStringLiteral("waitCancel"));
        QVERIFY(cancel);
        bool shownEarly = false;
        bool shownLate = false;
        QString elapsed;
        QTimer::singleShot(700, form, [&] {
            shownEarly = !cancel->isHidden() && CallWait::elapsedMs() < 1000;
        });
        QTimer::singleShot(1300, form, [&] {
            shownLate = !cancel->isHidden();
            elapsed = overlay()->findChild<QLabel *>(QStringLiteral("waitElapsed"))->text();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        CallWait wait;
        const auto outcome = wait.waitUntil([] { return false; }, QDeadlineTimer(5000));
        DeactiveShowAvi();
        QCOMPARE(outcome, CallWait::Outcome::Cancelled);
        QVERIFY(!shownEarly);
        QVERIFY(shownLate);
        QVERIFY2(QRegularExpression("^[1-9][0-9]* s$").match(elapsed).hasMatch(),
                 qPrintable(elapsed));
    }
};

QTEST_MAIN(tst_WaitAnimation)
#include "tst_waitanimation.moc"
