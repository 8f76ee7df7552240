#include "app/Screen.h"
#include "app/TApplication.h"
#include "controls/SystemColors.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBNavigator.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "forms/LayoutFile.h"
#include "forms/RecordSearch.h"
#include "forms/TfrmPadrao.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

Q_DECLARE_METATYPE(TCloseAction)

namespace {
int g_destroyed = 0;

// A screen as a package writes one: its own data set on dtsPadrao and
// counters on the handlers it replaces.
class TestForm : public TfrmPadrao
{
public:
    TestForm()
    {
        cds.AddField("CODE", TFieldType::ftString, 4);
        cds.AddField("NAME", TFieldType::ftString, 30);
        dtsPadrao->SetDataSet(&cds);
        dbtNome->SetDataField("NAME");
        lblCodTela->setText(screenCode);
        dbgPadrao->AddColumn("CODE", 50);
        dbgPadrao->AddColumn("NAME", 200);
    }
    ~TestForm() override { ++g_destroyed; }

    static inline QString screenCode; // "" : no layout
    static inline bool failCreate = false;
    static inline bool replaceStateHandling = false;
    TCloseAction closeAction = TCloseAction::caFree;
    int creates = 0, activates = 0, closes = 0, verifies = 0, pageChanges = 0, orders = 0;
    QList<TDataSetState> replacedStates;
    TClientDataSet cds;

    void load(const QList<QStringList> &rows)
    {
        TDataPacket p;
        p.fields = {{"CODE", TFieldType::ftString, 4}, {"NAME", TFieldType::ftString, 30}};
        for (const QStringList &row : rows)
            p.rows << QVariantList{row.at(0), row.at(1)};
        cds.LoadFromPacket(p);
    }

protected:
    void FormCreate() override
    {
        TfrmPadrao::FormCreate();
        ++creates;
        if (failCreate)
            throw EVexError("sem conexão");
    }
    void FormActivate() override { ++activates; }
    void FormClose(TCloseAction &action) override
    {
        TfrmPadrao::FormClose(action);
        ++closes;
        action = closeAction;
    }
    void sbtVerificarClick() override { ++verifies; }
    void pgcPadraoChange() override { ++pageChanges; }
    void mnuOrdenarClick() override { ++orders; }
    void dtsPadraoStateChange(TDataSource *sender) override
    {
        if (!replaceStateHandling) {
            TfrmPadrao::dtsPadraoStateChange(sender);
            return;
        }
        replacedStates << sender->State();
        mnuVerificar->setEnabled(false);
    }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class tst_FrmPadrao : public QObject
{
    Q_OBJECT

private:
    QMdiArea *area = nullptr;
    TApplication *application = nullptr;
    QStringList errors;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        errors.clear();
        HostDisplays::setErrorHandler([this](const QString &t) { errors << t; });
        TestForm::failCreate = false;
        TestForm::replaceStateHandling = false;
        g_destroyed = 0;
        area = new QMdiArea;
        area->resize(1200, 800);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area));
        application = new TApplication(area);
    }
    void cleanup()
    {
        delete application;
        delete area;
        flushDeletes();
        HostDisplays::setErrorHandler({});
    }

    void createRunsFormCreateOnce()
    {
        auto *form = application->CreateForm<TestForm>();
        QCOMPARE(form->creates, 1);
        form->DoCreate();
        QCOMPARE(form->creates, 1);
        QCOMPARE(TApplication::instance(), application);
        QMdiSubWindow *window = application->subWindowOf(form);
        QVERIFY(window);
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!window->isVisible()); // created hidden, shown by ShowForm
    }

    void failingFormCreateDestroysTheForm()
    {
        TestForm::failCreate = true;
        bool thrown = false;
        try {
            application->CreateForm<TestForm>();
        } catch (const EVexError &e) {
            thrown = true;
            QCOMPARE(e.message(), QString("sem conexão"));
        }
        QVERIFY(thrown);
        flushDeletes();
        QCOMPARE(g_destroyed, 1);
        QVERIFY(area->subWindowList().isEmpty());
    }

    void showActivatesOnceAndBringsToFront()
    {
        auto *first = application->CreateForm<TestForm>();
        application->ShowForm(first);
        QCOMPARE(area->activeSubWindow(), application->subWindowOf(first));
        QCOMPARE(first->activates, 1);
        application->ShowForm(first); // already in front
        QCOMPARE(first->activates, 1);
        auto *second = application->CreateForm<TestForm>();
        application->ShowForm(second);
        QCOMPARE(second->activates, 1);
        application->ShowForm(first);
        QCOMPARE(area->activeSubWindow(), application->subWindowOf(first));
        QCOMPARE(first->activates, 2);
    }

    void shortcutReachesOnlyTheActiveWindow_data()
    {
        QTest::addColumn<int>("focused");
        QTest::newRow("first window") << 0;
        QTest::newRow("second window") << 1;
    }
    void shortcutReachesOnlyTheActiveWindow()
    {
        QFETCH(int, focused);
        QList<TestForm *> forms;
        for (int i = 0; i < 2; ++i) {
            auto *form = application->CreateForm<TestForm>();
            form->mnuOrdenar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
            application->ShowForm(form);
            forms << form;
        }
        application->ShowForm(forms.at(focused));
        area->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(area));
        forms.at(focused)->dbgPadrao->setFocus();
        QTRY_VERIFY(forms.at(focused)->dbgPadrao->hasFocus());
        QTest::keyClick(forms.at(focused)->dbgPadrao, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(forms.at(focused)->orders, 1);
        QCOMPARE(forms.at(1 - focused)->orders, 0);
    }

    void closeAction_data()
    {
        QTest::addColumn<TCloseAction>("action");
        QTest::addColumn<bool>("viaMenu");
        QTest::addColumn<bool>("freed");
        QTest::addColumn<bool>("visible");
        QTest::newRow("free, window close") << TCloseAction::caFree << false << true << false;
        QTest::newRow("free, Fechar command") << TCloseAction::caFree << true << true << false;
        QTest::newRow("none keeps it") << TCloseAction::caNone << false << false << true;
        QTest::newRow("none via Fechar") << TCloseAction::caNone << true << false << true;
        QTest::newRow("hide keeps it hidden") << TCloseAction::caHide << false << false << false;
    }
    void closeAction()
    {
        QFETCH(TCloseAction, action);
        QFETCH(bool, viaMenu);
        QFETCH(bool, freed);
        QFETCH(bool, visible);
        QPointer<TestForm> form = application->CreateForm<TestForm>();
        form->closeAction = action;
        application->ShowForm(form);
        QPointer<QMdiSubWindow> window = application->subWindowOf(form);
        if (viaMenu)
            form->mnuFechar->trigger();
        else
            window->close();
        flushDeletes();
        QCOMPARE(form.isNull(), freed);
        QCOMPARE(window.isNull(), freed);
        if (!freed) {
            QCOMPARE(form->closes, 1);
            QCOMPARE(window->isVisible(), visible);
            application->ShowForm(form); // a kept window comes back
            QVERIFY(window->isVisible());
        }
    }

    void commandPairs()
    {
        auto *form = application->CreateForm<TestForm>();
        const auto pairs = form->CommandPairs();
        QCOMPARE(pairs.size(), 7);
        const QStringList names{"Incluir", "Alterar", "Excluir", "Gravar",
                                "Cancelar", "Procurar", "Verificar"};
        for (int i = 0; i < pairs.size(); ++i) {
            QCOMPARE(pairs.at(i).menuItem->objectName(), "mnu" + names.at(i));
            QCOMPARE(pairs.at(i).button->objectName(), "sbt" + names.at(i));
            QCOMPARE(pairs.at(i).button->Hint(), names.at(i));
            QVERIFY(pairs.at(i).button->parentWidget() == form->panMenu);
            QVERIFY(form->mnuManutencao->actions().contains(pairs.at(i).menuItem));
        }
    }

    void toolBarLayout_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("left");
        const std::pair<const char *, int> lefts[] = {
            {"sbtIncluir", 4},    {"sbtAlterar", 27},   {"sbtExcluir", 50},
            {"sbtGravar", 73},    {"sbtCancelar", 96},  {"sbtProcurar", 124},
            {"sbtVerificar", 147}, {"sbtImprimir", 175}, {"sbtAjuda", 198},
            {"sbtFechar", 221}};
        for (const auto &[name, left] : lefts)
            QTest::newRow(name) << QString(name) << left;
    }
    void toolBarLayout()
    {
        QFETCH(QString, button);
        QFETCH(int, left);
        auto *form = application->CreateForm<TestForm>();
        application->ShowForm(form);
        auto *b = form->panMenu->findChild<TButtonFlat *>(button);
        QVERIFY(b);
        QCOMPARE(b->geometry(), QRect(left, 4, 21, 21));
        QVERIFY(!b->icon().isNull());
        b->move(left + 100, 4); // a screen moves it and it stays there
        QCoreApplication::processEvents();
        QCOMPARE(b->x(), left + 100);
    }

    void screenCodeStaysWholeAtTheRight()
    {
        auto *form = application->CreateForm<TestForm>();
        application->ShowForm(form);
        form->lblCodTela->setText("VEX00300");
        form->lblCodTela->resize(20, form->lblCodTela->height()); // too narrow for the code
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(form->lblCodTela->width() >= form->lblCodTela->sizeHint().width());
        QVERIFY(form->lblCodTela->geometry().right() < form->panMenu->width());
        QVERIFY(form->lblCodTela->x() > form->sbtFechar->geometry().right());
    }

    void buttonsRunTheirMenuCommands()
    {
        auto *form = application->CreateForm<TestForm>();
        form->load({{"0001", "Campinas"}});
        QSignalSpy triggered(form->mnuVerificar, &QAction::triggered);
        form->sbtVerificar->click();
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(form->verifies, 1);
        form->mnuVerificar->trigger();
        QCOMPARE(form->verifies, 2);
        form->mnuOrdenar->trigger();
        QCOMPARE(form->orders, 1);
        form->mnuVerificar->setEnabled(false); // a disabled command does nothing
        form->sbtVerificar->click();
        QCOMPARE(form->verifies, 2);
    }

    void pageChangeRunsHandler()
    {
        auto *form = application->CreateForm<TestForm>();
        QCOMPARE(form->pageChanges, 0);
        form->pgcPadrao->setCurrentWidget(form->tshFormulario);
        QCOMPARE(form->pageChanges, 1);
        QCOMPARE(form->pgcPadrao->indexOf(form->tshFolhaDados), 0);
        QVERIFY(form->tshFolhaDados->isAncestorOf(form->dbgPadrao));
    }

    void baseStateHandlingFollowsBrowse_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("closeAfter");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("loaded with rows") << 2 << false << true;
        QTest::newRow("loaded empty") << 0 << false << true;
        QTest::newRow("closed again") << 2 << true << false;
    }
    void baseStateHandlingFollowsBrowse()
    {
        QFETCH(int, rows);
        QFETCH(bool, closeAfter);
        QFETCH(bool, enabled);
        auto *form = application->CreateForm<TestForm>();
        for (const auto &pair : form->CommandPairs()) // closed at creation
            QVERIFY(!pair.menuItem->isEnabled() && !pair.button->isEnabled());
        QList<QStringList> data;
        for (int i = 0; i < rows; ++i)
            data << QStringList{QString::number(i), "Filial"};
        form->load(data);
        if (closeAfter)
            form->cds.Close();
        for (const auto &pair : form->CommandPairs()) {
            QCOMPARE(pair.menuItem->isEnabled(), enabled);
            QCOMPARE(pair.button->isEnabled(), enabled);
        }
        QCOMPARE(form->dbnPadrao->isEnabled(), enabled);
    }

    void stateHandlingIsReplaceable()
    {
        TestForm::replaceStateHandling = true;
        auto *form = application->CreateForm<TestForm>();
        form->replacedStates.clear();
        form->load({{"0001", "Campinas"}});
        QCOMPARE(form->replacedStates, QList<TDataSetState>{TDataSetState::dsBrowse});
        QVERIFY(!form->mnuVerificar->isEnabled());
        form->cds.Close();
        QCOMPARE(form->replacedStates,
                 (QList<TDataSetState>{TDataSetState::dsBrowse, TDataSetState::dsInactive}));
        // The base handling did not run: it would have disabled every pair.
        QVERIFY(form->mnuIncluir->isEnabled());
        QVERIFY(form->sbtIncluir->isEnabled());
    }

    void statusPanelShowsCurrentName()
    {
        auto *form = application->CreateForm<TestForm>();
        QCOMPARE(form->dbtNome->text(), QString());
        form->load({{"0001", "Campinas"}, {"0002", "Santos"}});
        QCOMPARE(form->dbtNome->text(), QString("Campinas"));
        form->cds.MoveTo(1);
        QCOMPARE(form->dbtNome->text(), QString("Santos"));
        form->cds.Close();
        QCOMPARE(form->dbtNome->text(), QString());
    }

    void navigatorMovesTheCursor()
    {
        auto *form = application->CreateForm<TestForm>();
        form->load({{"1", "a"}, {"2", "b"}, {"3", "c"}});
        QVERIFY(!form->dbnPadrao->button(TDBNavigator::nbPrior)->isEnabled());
        form->dbnPadrao->button(TDBNavigator::nbLast)->click();
        QCOMPARE(form->cds.CurrentRow(), 2);
        QVERIFY(!form->dbnPadrao->button(TDBNavigator::nbNext)->isEnabled());
        form->dbnPadrao->button(TDBNavigator::nbPrior)->click();
        QCOMPARE(form->cds.CurrentRow(), 1);
    }

    void screenCursorDoesNotStack_data()
    {
        QTest::addColumn<QList<int>>("cursors");
        QTest::addColumn<bool>("waiting");
        QTest::newRow("hourglass") << QList<int>{Screen::crHourGlass} << true;
        QTest::newRow("hourglass then default")
            << QList<int>{Screen::crHourGlass, Screen::crDefault} << false;
        QTest::newRow("twice, one default restores")
            << QList<int>{Screen::crHourGlass, Screen::crHourGlass, Screen::crDefault} << false;
        QTest::newRow("default alone is harmless") << QList<int>{Screen::crDefault} << false;
    }
    void screenCursorDoesNotStack()
    {
        QFETCH(QList<int>, cursors);
        QFETCH(bool, waiting);
        for (int cursor : cursors)
            Screen::SetCursor(cursor);
        QCOMPARE(Screen::Cursor(), cursors.last());
        QCOMPARE(QGuiApplication::overrideCursor() != nullptr, waiting);
        if (waiting)
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        Screen::SetCursor(Screen::crDefault);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void systemColorsFollowThePalette_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("role");
        QTest::newRow("info background") << 24 << int(QPalette::ToolTipBase);
        QTest::newRow("window text") << 8 << int(QPalette::WindowText);
        QTest::newRow("highlight") << 13 << int(QPalette::Highlight);
        QTest::newRow("highlight text") << 14 << int(QPalette::HighlightedText);
        QTest::newRow("caption text") << 9 << int(QPalette::BrightText);
        QTest::newRow("button face") << 15 << int(QPalette::Button);
    }
    void systemColorsFollowThePalette()
    {
        QFETCH(int, index);
        QFETCH(int, role);
        const QPalette saved = QGuiApplication::palette();
        QPalette palette = saved;
        // Every role its own colour, so a wrong mapping cannot pass by chance.
        for (int r = 0; r < QPalette::NColorRoles; ++r)
            palette.setColor(QPalette::Active, QPalette::ColorRole(r), QColor(r * 9, 100, 200));
        QApplication::setPalette(palette);
        QCOMPARE(SystemColors::color(index), QColor(role * 9, 100, 200));
        QVERIFY(SystemColors::color(SystemColors::COLOR_CAPTIONTEXT)
                != SystemColors::color(SystemColors::COLOR_HIGHLIGHTTEXT));
        QApplication::setPalette(saved);
    }

    void recordSearch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("found");
        QTest::newRow("from the start") << "santos" << -1 << 1;
        QTest::newRow("next after current") << "s" << 0 << 1;
        QTest::newRow("wraps round") << "campinas" << 1 << 0;
        QTest::newRow("current row last") << "sorocaba" << 2 << 2;
        QTest::newRow("code field") << "0003" << -1 << 2;
        QTest::newRow("not found") << "bauru" << 0 << -1;
        QTest::newRow("blank text") << "  " << 0 << -1;
    }
    void recordSearch()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, found);
        TestForm form;
        form.load({{"0001", "Campinas"}, {"0002", "Santos"}, {"0003", "Sorocaba"}});
        QCOMPARE(RecordSearch::findRow(&form.cds, text, start), found);
        QCOMPARE(form.cds.CurrentRow(), 0); // searching moves nothing
    }

    // Widths and sort the user chose come back in a new window of the same
    // screen; a layout file that cannot be read is ignored with a warning.
    void layoutSurvivesANewWindow()
    {
        TestForm::screenCode = QStringLiteral("TST001");
        const QString path = LayoutFile::pathFor(TestForm::screenCode);
        QFile::remove(path);
        auto *form = application->CreateForm<TestForm>();
        application->ShowForm(form);
        form->load({{"0002", "Santos"}, {"0001", "Campinas"}});
        form->dbgPadrao->horizontalHeader()->resizeSection(1, 321);
        form->dbgPadrao->ToggleSort(0);
        QTRY_VERIFY(QFile::exists(path));
        form->Close();
        flushDeletes();

        auto *again = application->CreateForm<TestForm>();
        again->load({{"0002", "Santos"}, {"0001", "Campinas"}});
        QCOMPARE(again->dbgPadrao->columnWidth(1), 321);
        QCOMPARE(again->cds.FieldByName("CODE")->AsString(), QStringLiteral("0001"));
        again->Close();
        flushDeletes();

        QFile bad(path);
        QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
        bad.write("sem sinal de igual\n\xff\xfe");
        bad.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("layout ignored"));
        auto *third = application->CreateForm<TestForm>();
        QCOMPARE(third->dbgPadrao->columnWidth(1), 200);
        TestForm::screenCode.clear();
    }

    // A window left maximized comes back maximized, and still knows the
    // size it had before; one left normal comes back at that size.
    void windowStateKept_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::newRow("left maximized") << true;
        QTest::newRow("left normal") << false;
    }
    void windowStateKept()
    {
        QFETCH(bool, maximized);
        TestForm::screenCode = QStringLiteral("TST002");
        QFile::remove(LayoutFile::pathFor(TestForm::screenCode));
        auto *form = application->CreateForm<TestForm>();
        application->ShowForm(form);
        application->subWindowOf(form)->resize(700, 450);
        const QSize normal = form->size();
        if (maximized)
            application->subWindowOf(form)->showMaximized();
        QVERIFY(form->size() != normal || !maximized);
        form->Close(); // writes what is pending
        flushDeletes();

        auto *again = application->CreateForm<TestForm>();
        application->ShowForm(again);
        QMdiSubWindow *window = application->subWindowOf(again);
        QCOMPARE(window->isMaximized(), maximized);
        window->showNormal();
        QCOMPARE(again->size(), normal);
        again->Close();
        flushDeletes();
        TestForm::screenCode.clear();
    }

    // Grids once all wrote one nameless key; such lines cannot be told apart,
    // so the first window that reads them drops them from the file, keeping
    // everything else. Those files wrote every width: the design's is no
    // choice of the user's.
    void namelessGridLinesDroppedOnce()
    {
        TestForm::screenCode = QStringLiteral("TST003");
        const QStringList named{"dbgPadrao.columns=CODE:77,NAME:200", "form.size=700x400"};
        LayoutFile::write(TestForm::screenCode,
                          QStringList{".columns=CODE:99", ".sort=CODE:asc"} + named);
        auto *form = application->CreateForm<TestForm>();
        QCOMPARE(form->dbgPadrao->Columns()[0]->UserWidth, 77);
        QCOMPARE(form->dbgPadrao->Columns()[1]->UserWidth, -1);
        QCOMPARE(LayoutFile::read(TestForm::screenCode), named);
        form->Close();
        flushDeletes();
        TestForm::screenCode.clear();
    }
};

QTEST_MAIN(tst_FrmPadrao)
#include "tst_frmpadrao.moc"
