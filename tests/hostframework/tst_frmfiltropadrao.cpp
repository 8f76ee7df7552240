#include "app/TApplication.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "forms/OptionPresets.h"
#include "forms/OptionsFile.h"
#include "forms/TfrmFiltroPadrao.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

namespace {
class TestDialog : public TfrmFiltroPadrao
{
public:
    explicit TestDialog(QWidget *parent = nullptr) : TfrmFiltroPadrao(parent)
    {
        lblCodTela->setText("TST00301");
        chbSim = new QCheckBox("Sim", grbFiltroPadrao);
        chbSim->setObjectName("chbSim");
        chbSim->setChecked(true);
        rbtTodas = new QRadioButton("Todas", grbFiltroPadrao);
        rbtTodas->setObjectName("rbtTodas");
        rbtTodas->setChecked(true);
        rbtLista = new QRadioButton("Lista", grbFiltroPadrao);
        rbtLista->setObjectName("rbtLista");
        medFilOL = new QLineEdit(grbFiltroPadrao);
        medFilOL->setObjectName("medFilOL");
        depEntrIni = new TDateEditPlus(grbFiltroPadrao);
        depEntrIni->setObjectName("depEntrIni");
        depEntrFin = new TDateEditPlus(grbFiltroPadrao);
        depEntrFin->setObjectName("depEntrFin");
    }
    QCheckBox *chbSim;
    QRadioButton *rbtTodas;
    QRadioButton *rbtLista;
    QLineEdit *medFilOL;
    TDateEditPlus *depEntrIni;
    TDateEditPlus *depEntrFin;
    int creates = 0, closes = 0, confirms = 0;

    void load() { btfLoadOpcClick(); }
    void save() { btfSaveOpcClick(); }
    QStringList ExtraOptionNames() const override { return {"stLFilSoli"}; }
    QList<DateRange> DateRanges() const override { return {{"Entrega", depEntrIni, depEntrFin}}; }

protected:
    void FormCreate() override { ++creates; }
    void FormClose() override { ++closes; }
    void sbtConfirmaClick() override
    {
        ++confirms;
        accept();
    }
};
} // namespace

class tst_FrmFiltroPadrao : public QObject
{
    Q_OBJECT

private:
    QStringList errors;
    TestDialog *dialog = nullptr;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        errors.clear();
        HostDisplays::setErrorHandler([this](const QString &t) { errors << t; });
        dialog = new TestDialog;
        dialog->DoCreate();
        QFile::remove(dialog->optionsPath());
    }
    void cleanup()
    {
        dialog->lblCodTela->setText("TST00301");
        QFile::remove(dialog->optionsPath());
        delete dialog;
        HostDisplays::setErrorHandler({});
    }

    void createdThroughTheApplicationOnce()
    {
        QMdiArea area;
        TApplication application(&area);
        auto *created = application.CreateDialog<TestDialog>();
        QCOMPARE(created->creates, 1);
        created->DoCreate();
        QCOMPARE(created->creates, 1);
        QCOMPARE(created->parentWidget(), area.window());
        application.DestroyForms();
    }

    void layoutSplitsCriteriaAndButtons()
    {
        dialog->resize(445, 392);
        QCOMPARE(dialog->grbFiltroPadrao->geometry(), QRect(0, 0, 390, 392));
        QCOMPARE(dialog->panMenu->geometry().left(), 390);
        QVERIFY(dialog->panMenu->isAncestorOf(dialog->sbtConfirma));
    }

    void confirmAndCancelRunFormClose_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("result");
        QTest::newRow("confirm") << true << int(QDialog::Accepted);
        QTest::newRow("cancel") << false << int(QDialog::Rejected);
    }
    void confirmAndCancelRunFormClose()
    {
        QFETCH(bool, confirm);
        QFETCH(int, result);
        QTimer::singleShot(0, dialog, [this, confirm] {
            (confirm ? dialog->sbtConfirma : dialog->sbtCancela)->click();
        });
        QCOMPARE(dialog->exec(), result);
        QCOMPARE(dialog->closes, 1);
        QCOMPARE(dialog->confirms, confirm ? 1 : 0);
    }

    void optionsRoundTrip()
    {
        dialog->chbSim->setChecked(false);
        dialog->rbtLista->setChecked(true);
        dialog->medFilOL->setText("0007");
        dialog->depEntrIni->SetDate(QDate(2026, 12, 1));
        OptionsFile::setValue(dialog->Opcoes, "stLFilSoli", "0001,0002");
        dialog->save();
        QVERIFY(QFile::exists(dialog->optionsPath()));

        dialog->chbSim->setChecked(true);
        dialog->rbtTodas->setChecked(true);
        dialog->medFilOL->setText("9999");
        dialog->depEntrIni->Clear();
        dialog->depEntrFin->SetDate(QDate(2026, 1, 5));
        dialog->Opcoes.clear();
        dialog->load();
        QVERIFY(!dialog->chbSim->isChecked());
        QVERIFY(dialog->rbtLista->isChecked());
        QVERIFY(!dialog->rbtTodas->isChecked());
        QCOMPARE(dialog->medFilOL->text(), QString("0007"));
        QCOMPARE(dialog->depEntrIni->Date(), QDate(2026, 12, 1));
        QVERIFY(dialog->depEntrFin->IsBlank()); // a blank date is an option too
        QCOMPARE(OptionsFile::value(dialog->Opcoes, "stLFilSoli"), QString("0001,0002"));
    }

    void valuesSurviveEscaping_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << "";
        QTest::newRow("equals sign") << "a=b=c";
        QTest::newRow("backslashes") << "C:\\dados\\n";
        QTest::newRow("line breaks") << "um\ndois\r\ntrês";
        QTest::newRow("accents") << "Solicitação Não";
    }
    void valuesSurviveEscaping()
    {
        QFETCH(QString, value);
        const QString path = dialog->optionsPath();
        OptionsFile::write(path, {"chave=" + value, "outra=x"});
        const QStringList back = OptionsFile::read(path);
        QCOMPARE(back.size(), 2);
        QCOMPARE(OptionsFile::value(back, "chave"), value);
        QCOMPARE(OptionsFile::value(back, "outra"), QString("x"));
    }

    void badFilesGiveClearErrorsAndChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("line without equals") << QByteArray("chbSim=1\nlixo\n") << "linha 2";
        QTest::newRow("empty name") << QByteArray("=1\n") << "linha 1";
        QTest::newRow("bad escape") << QByteArray("medFilOL=a\\qb\n") << "linha 1";
        QTest::newRow("not utf-8") << QByteArray("medFilOL=\xff\xfe\n") << "UTF-8";
        QTest::newRow("missing file") << QByteArray() << "não há opções";
    }
    void badFilesGiveClearErrorsAndChangeNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = dialog->optionsPath();
        if (!content.isEmpty()) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        dialog->Opcoes = QStringList{"stLFilSoli=0001"};
        dialog->medFilOL->setText("0003");
        dialog->btfLoadOpc->click(); // through the button: the error goes to the display
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(reason), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains("TST00301.opc"), qPrintable(errors.first()));
        QCOMPARE(dialog->Opcoes, QStringList{"stLFilSoli=0001"});
        QCOMPARE(dialog->medFilOL->text(), QString("0003"));
    }

    void failedSaveKeepsThePreviousFile()
    {
        const QString path = dialog->optionsPath();
        OptionsFile::write(path, {"medFilOL=0001"});
        bool thrown = false;
        try {
            OptionsFile::write(path, {"medFilOL=0002", "sem nome"});
        } catch (const EVexError &e) {
            thrown = true;
            QVERIFY(e.message().contains("sem nome"));
        }
        QVERIFY(thrown);
        QCOMPARE(OptionsFile::read(path), QStringList{"medFilOL=0001"});
    }

    void unusableScreenCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("empty") << "";
        QTest::newRow("path") << "../../etc/x";
        QTest::newRow("space") << "VEX 003";
    }
    void unusableScreenCodes()
    {
        QFETCH(QString, code);
        dialog->lblCodTela->setText(code);
        dialog->btfSaveOpc->click();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains("Código de tela inválido"), qPrintable(errors.first()));
        dialog->lblCodTela->setText("TST00301");
    }

    // Named sets: save, replace after asking, load, mark the one applied at
    // creation, delete. Each modal window is answered as a person would.
    void namedPresets()
    {
        for (const QString &name : OptionPresets::names("TST00301"))
            OptionPresets::remove("TST00301", name);
        auto answer = [](std::function<void(QWidget *)> act) {
            QTimer::singleShot(0, [act] {
                QTRY_VERIFY(QApplication::activeModalWidget());
                act(QApplication::activeModalWidget());
            });
        };
        auto saveAs = [&](const QString &name) {
            answer([name](QWidget *modal) {
                auto *edit = modal->findChild<QLineEdit *>("edtNome");
                QTRY_COMPARE(QApplication::focusWidget(), edit); // saving starts at the name
                QTest::keyClicks(edit, name);
                QMetaObject::invokeMethod(modal->findChild<QDialogButtonBox *>(), "accepted");
            });
            dialog->btfSaveOpc->menu()->actions().first()->trigger();
        };
        dialog->medFilOL->setText("0100");
        saveAs("Semana");
        dialog->medFilOL->setText("0200");
        bool asked = false;
        answer([&](QWidget *modal) {
            QTimer::singleShot(0, [&] { // the question about replacing
                QTRY_VERIFY(QApplication::activeModalWidget() != modal);
                asked = true;
                QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Y, Qt::AltModifier);
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    box->button(QMessageBox::Yes)->click();
            });
            modal->findChild<QLineEdit *>("edtNome")->setText("Semana");
            QMetaObject::invokeMethod(modal->findChild<QDialogButtonBox *>(), "accepted");
        });
        dialog->btfSaveOpc->menu()->actions().first()->trigger();
        QVERIFY(asked);
        QCOMPARE(OptionPresets::names("TST00301"), QStringList{"Semana"});

        dialog->medFilOL->setText("9999");
        answer([](QWidget *modal) {
            auto *list = modal->findChild<QListWidget *>("lstOpcoes");
            list->setCurrentRow(0);
            modal->findChild<QPushButton *>("btnPadrao")->click();
            QMetaObject::invokeMethod(modal->findChild<QDialogButtonBox *>(), "accepted");
        });
        dialog->btfLoadOpc->menu()->actions().first()->trigger();
        QCOMPARE(dialog->medFilOL->text(), QStringLiteral("0200"));
        QCOMPARE(OptionPresets::defaultName("TST00301"), QStringLiteral("Semana"));

        // The marked set is applied at a new dialog's first activation, as
        // the load button would once the controls are ready.
        TestDialog fresh;
        fresh.DoCreate();
        fresh.show();
        fresh.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fresh));
        QTRY_COMPARE(fresh.medFilOL->text(), QStringLiteral("0200"));
        OptionPresets::remove("TST00301", "Semana");
        QVERIFY(OptionPresets::names("TST00301").isEmpty());
        QCOMPARE(OptionPresets::defaultName("TST00301"), QString());
    }

    // Dates kept as days from the day of use come back on that day's dates;
    // old sets load their dates as they were.
    void relativeDates_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("dates"); // "+N"/"-N": days from today
        QTest::addColumn<QString>("skipped");
        const QStringList fixed{"depEntrIni=01/12/2026", "depEntrFin=05/12/2026"};
        QTest::newRow("old set") << fixed << "01/12/2026 05/12/2026" << "";
        QTest::newRow("relative range")
            << fixed + QStringList{"depEntrIni.hoje=-7", "depEntrFin.hoje=30"} << "-7 +30" << "";
        QTest::newRow("days that are no number") << fixed + QStringList{"depEntrIni.hoje=x"}
                                                 << "01/12/2026 05/12/2026" << "depEntrIni.hoje";
    }
    void relativeDates()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, dates);
        QFETCH(QString, skipped);
        QStringList messages;
        HostDisplays::setMessageHandler([&messages](const QString &t) { messages << t; });
        OptionsFile::write(dialog->optionsPath(), lines);
        dialog->load();
        HostDisplays::setMessageHandler({});
        QStringList shown;
        for (const QString &date : dates.split(u' '))
            shown << (date.size() > 4 ? date : QDate::currentDate().addDays(date.toInt())
                                                   .toString("dd/MM/yyyy"));
        QCOMPARE(dialog->depEntrIni->Text() + u' ' + dialog->depEntrFin->Text(), shown.join(u' '));
        QVERIFY2(messages.join(u'\n').contains(skipped) && messages.isEmpty() == skipped.isEmpty(),
                 qPrintable(messages.join(u'\n')));
    }

    // Saving with a name, a range is kept relative (Tab from the name, Space);
    // the day's date stays beside it for programs without relative dates.
    void relativeDatesSaved()
    {
        const QDate today = QDate::currentDate();
        dialog->depEntrIni->SetDate(today.addDays(-7));
        dialog->depEntrFin->SetDate(today.addDays(30));
        QTimer::singleShot(0, [] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget *modal = QApplication::activeModalWidget();
            modal->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(modal));
            auto *name = modal->findChild<QLineEdit *>("edtNome");
            QTest::keyClicks(name, "Quinzena");
            QTest::keyClick(name, Qt::Key_Tab);
            QTest::keyClick(modal->focusWidget(), Qt::Key_Space);
            QMetaObject::invokeMethod(modal->findChild<QDialogButtonBox *>(), "accepted");
        });
        dialog->btfSaveOpc->menu()->actions().first()->trigger();
        const QStringList saved = OptionsFile::read(dialog->optionsPath());
        OptionPresets::remove("TST00301", "Quinzena");
        dialog->SetPresetName(QString());
        QCOMPARE(saved.filter(QRegularExpression("^depEntr")),
                 (QStringList{"depEntrIni=" + today.addDays(-7).toString("dd/MM/yyyy"),
                              "depEntrFin=" + today.addDays(30).toString("dd/MM/yyyy"),
                              "depEntrIni.hoje=-7", "depEntrFin.hoje=30"}));
    }

    // A set written before controls were renamed: what fits is applied and
    // one message names what was skipped.
    void oldPresetLoadsWhatItCan()
    {
        QStringList messages;
        HostDisplays::setMessageHandler([&messages](const QString &t) { messages << t; });
        dialog->SetPresetName("Antiga");
        OptionsFile::write(dialog->optionsPath(), {"medFilOL=0300", "chbSim=talvez",
                                                   "chbNaoExisteMais=1", "stLFilSoli=0001"});
        dialog->load();
        HostDisplays::setMessageHandler({});
        QCOMPARE(dialog->medFilOL->text(), QStringLiteral("0300"));
        QVERIFY(dialog->chbSim->isChecked()); // unchanged
        QCOMPARE(messages.size(), 1);
        const QString message = messages.first();
        QVERIFY2(message.contains("chbSim") && message.contains("chbNaoExisteMais")
                     && !message.contains("stLFilSoli"),
                 qPrintable(messages.first()));
        OptionPresets::remove("TST00301", "Antiga");
        dialog->SetPresetName(QString());
    }
};

QTEST_MAIN(tst_FrmFiltroPadrao)
#include "tst_frmfiltropadrao.moc"
