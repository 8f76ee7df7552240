#include "OleDate.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "controls/TExitCheck.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "forms/MultiSelectDialog.h"
#include "forms/Pesqlista.h"
#include "forms/PickListDialog.h"
#include "forms/Procurar.h"
#include "forms/TfrmFiltroPadrao.h"
#include "services/Corvel.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"
#include "services/HostLocale.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

namespace {
// Runs action once on the next modal window, found by a polling timer, so
// no test blocks in exec(). The timer dies with owner (one per test), so a
// window that never opened cannot hand a later test's window to a stale action.
void onModal(QObject *owner, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(owner);
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, elapsed] {
        QWidget *modal = QApplication::activeModalWidget();
        if ((!modal || !modal->isVisible()) && (*elapsed += 10) < 5000)
            return;
        timer->deleteLater();
        timer->stop();
        if (!modal || !modal->isVisible())
            return;
        // The dialogs' keys include window shortcuts (F3, Ctrl+A), which
        // fire only in the active window; offscreen, activation may lag.
        QApplication::setActiveWindow(modal);
        if (!QTest::qWaitForWindowActive(modal))
            qWarning("the dialog never became the active window");
        action(modal);
    });
    timer->start(10);
}

TDataPacket packetOf(const QList<TPacketField> &fields, const QList<QVariantList> &rows)
{
    TDataPacket packet;
    packet.fields = fields;
    packet.rows = rows;
    return packet;
}

// Products as the dialog's query holds them, groups and subgroups included.
void loadProducts(TClientDataSet &ds)
{
    ds.AddField("CDARVPROD", TFieldType::ftString, 20)->SetDisplayLabel("Código");
    ds.FieldByName("CDARVPROD")->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    ds.AddField("CDPRODUTO", TFieldType::ftString, 10)->SetVisible(false);
    ds.AddField("NMPRODUTO", TFieldType::ftString, 50)->SetDisplayLabel("Nome");
    ds.LoadFromPacket(packetOf({ { "CDARVPROD", TFieldType::ftString, 20 },
                                 { "CDPRODUTO", TFieldType::ftString, 10 },
                                 { "NMPRODUTO", TFieldType::ftString, 50 } },
                               { { "01", "G1", "Alimentos" },
                                 { "0101", "S11", "Grãos" },
                                 { "01010001", "000001", "Arroz tipo 1" },
                                 { "01010002", "000002", "Feijão carioca" },
                                 { "02", "G2", "Limpeza" },
                                 { "0201", "S21", "Sabões" },
                                 { "02010001", "000003", "Sabão em pó" } }));
}

void loadBranches(TClientDataSet &ds, const QStringList &codes)
{
    ds.AddField("IDMARCADO", TFieldType::ftFixedChar, 1);
    ds.AddField("CDFILIAL", TFieldType::ftString, 4)->SetDisplayLabel("Código");
    ds.AddField("NMFILIAL", TFieldType::ftString, 30)->SetDisplayLabel("Nome");
    QList<QVariantList> rows;
    for (const QString &code : codes)
        rows << QVariantList { "N", code, "Filial " + code };
    ds.LoadFromPacket(packetOf({ { "IDMARCADO", TFieldType::ftFixedChar, 1 },
                                 { "CDFILIAL", TFieldType::ftString, 4 },
                                 { "NMFILIAL", TFieldType::ftString, 30 } },
                               rows));
}

class FilterDialog final : public TfrmFiltroPadrao
{
public:
    FilterDialog()
    {
        depIni = new TDateEditPlus(grbFiltroPadrao);
        depIni->setObjectName("depIni");
        depIni->setGeometry(10, 20, 100, 22);
        depFin = new TDateEditPlus(grbFiltroPadrao);
        depFin->setObjectName("depFin");
        depFin->setGeometry(10, 50, 100, 22);
        btnFechar = new QPushButton("Fechar", grbFiltroPadrao);
        btnFechar->setObjectName("btnFechar");
        btnFechar->setGeometry(10, 80, 80, 24);
        auto *other = new QPushButton("Outro", grbFiltroPadrao);
        other->setObjectName("btnOutro");
        other->setGeometry(100, 80, 80, 24);
        TExitCheck::SetCancelControl(btnFechar);
        connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
    }
    TDateEditPlus *depIni;
    TDateEditPlus *depFin;
    QPushButton *btnFechar;
    int confirms = 0;

protected:
    void sbtConfirmaClick() override { ++confirms; }
};
} // namespace

class tst_FilterControls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void dateTyping_data();
    void dateTyping();
    void calendar_data();
    void calendar();
    void maskEdit_data();
    void maskEdit();
    void exitCheck_data();
    void exitCheck();
    void confirmKeys();
    void pickList_data();
    void pickList();
    void pickListEmptyOrStopped_data();
    void pickListEmptyOrStopped();
    void multiSelection_data();
    void multiSelection();
    void multiSelectionRefusesKey_data();
    void multiSelectionRefusesKey();
    void procura_data();
    void procura();
    void portuguese(); // last: it changes the whole process's language

private:
    std::unique_ptr<QObject> m_owner;
    QStringList m_messages;
    QStringList m_errors;
};

void tst_FilterControls::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_FilterControls::init()
{
    m_owner = std::make_unique<QObject>();
    m_messages.clear();
    m_errors.clear();
    HostDisplays::setMessageHandler([this](const QString &t) { m_messages << t; });
    HostDisplays::setErrorHandler([this](const QString &t) { m_errors << t; });
}

void tst_FilterControls::cleanup()
{
    m_owner.reset();
    HostDisplays::setMessageHandler({});
    HostDisplays::setErrorHandler({});
}

void tst_FilterControls::dateTyping_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDate>("date"); // invalid: GetDate gives 0 (blank) or refuses
    QTest::addColumn<QString>("weekday");

    QTest::newRow("typed digits") << "01122026"
                                  << "01/12/2026" << true << QDate(2026, 12, 1) << "Terça";
    QTest::newRow("blank") << ""
                           << "//" << true << QDate() << "";
    QTest::newRow("leap day") << "29022028"
                              << "29/02/2028" << true << QDate(2028, 2, 29) << "Terça";
    QTest::newRow("no leap day") << "29022027"
                                 << "29/02/2027" << false << QDate() << "";
    QTest::newRow("31 February") << "31022026"
                                 << "31/02/2026" << false << QDate() << "";
    QTest::newRow("day zero") << "00012026"
                              << "00/01/2026" << false << QDate() << "";
    QTest::newRow("half typed") << "0112"
                                << "01/12/" << false << QDate() << "";
    QTest::newRow("letters ignored") << "0a1b12c2026"
                                     << "01/12/2026" << true << QDate(2026, 12, 1) << "Terça";
    QTest::newRow("two-digit year") << "011226"
                                    << "01/12/26" << true << QDate(2026, 12, 1) << "Terça";
}

void tst_FilterControls::dateTyping()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(bool, valid);
    QFETCH(QDate, date);
    QFETCH(QString, weekday);
    TDateEditPlus edit;
    int changes = 0;
    edit.OnChange = [&changes](TMaskEdit *) { ++changes; };
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, keys);
    QCOMPARE(edit.Text(), shown);
    QCOMPARE(edit.IsBlank(), keys.isEmpty());
    QCOMPARE(changes > 0, !keys.isEmpty());
    QCOMPARE(edit.IsValidDate(), valid);
    QCOMPARE(edit.toolTip(), weekday);
    try {
        const double got = edit.GetDate();
        QVERIFY(valid);
        QCOMPARE(got, date.isValid() ? OleDate::fromDate(date) : 0.0);
        QVERIFY(m_messages.isEmpty());
    } catch (const EAbort &) {
        QVERIFY(!valid);
        QCOMPARE(m_messages, QStringList { "Data inválida." });
    }
    if (date.isValid()) {
        QCOMPARE(edit.palette().color(QPalette::Text), QColor(Qt::blue));
        edit.SetSaveTime(false);
        edit.SetDate(OleDate::fromDate(date) + 0.75);
        QCOMPARE(edit.GetDate(), OleDate::fromDate(date));
        edit.SetSaveTime(true);
        QCOMPARE(edit.GetDate(), OleDate::fromDate(date) + 0.75);
        edit.ExitCheck()->Run(); // leaving shows the year whole
        QCOMPARE(edit.Text(), date.toString("dd/MM/yyyy"));
    }
    edit.Clear();
    QVERIFY(edit.IsBlank());
    QCOMPARE(edit.GetDate(), 0.0);
}

void tst_FilterControls::calendar_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<QString>("shown");

    QTest::newRow("pick over a half-typed date") << "3102" << true << "15/03/2027";
    QTest::newRow("Esc keeps the text") << "3102" << false << "31/02/";
}

void tst_FilterControls::calendar()
{
    QFETCH(QString, start);
    QFETCH(bool, pick);
    QFETCH(QString, shown);
    FilterDialog dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.depIni->setFocus(Qt::TabFocusReason);
    dialog.depIni->setCursorPosition(0);
    QTest::keyClicks(dialog.depIni, start);
    QString title;
    QString month;
    onModal(m_owner.get(), [&](QWidget *modal) {
        title = modal->windowTitle();
        auto *calendar = modal->findChild<QCalendarWidget *>();
        calendar->setSelectedDate(QDate(2027, 3, 15));
        month = calendar->findChild<QToolButton *>("qt_calendar_monthbutton")->text();
        QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar,
                        pick ? Qt::Key_Return : Qt::Key_Escape);
    });
    QTest::keyClick(dialog.depIni, Qt::Key_Down, Qt::AltModifier);
    QTest::qWait(50);
    QCOMPARE(title, QStringLiteral("Calendário"));
    QCOMPARE(month, QStringLiteral("março"));
    QCOMPARE(dialog.depIni->Text(), shown);
    QVERIFY(m_messages.isEmpty()); // the pop-up is not leaving the edit
    QCOMPARE(dialog.focusWidget(), dialog.depIni);
}

void tst_FilterControls::maskEdit_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed"); // keys, or "=" + text set by code
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("value");

    const QString product = Corvel::DBPict(TPictType::ptProduto);
    QTest::newRow("branch upper case") << ">aaaa;0; "
                                       << "ab1"
                                       << "AB1"
                                       << "AB1";
    QTest::newRow("branch set by code") << ">aaaa;0; "
                                        << "=0001"
                                        << "0001"
                                        << "0001";
    QTest::newRow("product typed") << product << "01020003"
                                   << "01.02.0003"
                                   << "01020003";
    QTest::newRow("product set stored") << product << "=01020003"
                                        << "01.02.0003"
                                        << "01020003";
    QTest::newRow("product half typed") << product << "0102"
                                        << "01.02."
                                        << "0102";
    QTest::newRow("no mask") << ""
                             << "abc"
                             << "abc"
                             << "abc";
}

void tst_FilterControls::maskEdit()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, value);
    TMaskEdit edit;
    edit.SetEditMask(mask);
    QStringList changes;
    edit.OnChange = [&changes](TMaskEdit *sender) { changes << sender->Text(); };
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    if (typed.startsWith('='))
        edit.SetText(typed.mid(1));
    else
        QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.Text(), shown);
    QCOMPARE(edit.Value(), value);
    QVERIFY(!changes.isEmpty());
    QCOMPARE(changes.last(), shown);
}

void tst_FilterControls::exitCheck_data()
{
    QTest::addColumn<QString>("iniKeys");
    QTest::addColumn<QString>("finKeys");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("backInIni");
    QTest::addColumn<bool>("open");

    QTest::newRow("tab from invalid") << "31022026"
                                      << ""
                                      << "tab" << 1 << true << true;
    QTest::newRow("tab from half typed") << "0112"
                                         << ""
                                         << "tab" << 1 << true << true;
    QTest::newRow("tab from valid") << "01122026"
                                    << ""
                                    << "tab" << 0 << false << true;
    QTest::newRow("tab from blank") << ""
                                    << ""
                                    << "tab" << 0 << false << true;
    QTest::newRow("click into the next edit") << "31022026"
                                              << ""
                                              << "click" << 1 << true << true;
    QTest::newRow("next edit invalid too: no ping-pong") << "31022026"
                                                         << "00002026"
                                                         << "tab" << 1 << true << true;
    QTest::newRow("message box takes the focus") << "31022026"
                                                 << ""
                                                 << "tabModal" << 1 << true << true;
    QTest::newRow("Esc cancels") << "31022026"
                                 << ""
                                 << "esc" << 0 << true << false;
    QTest::newRow("cancel button") << "31022026"
                                   << ""
                                   << "sbtCancela" << 0 << true << false;
    QTest::newRow("focusable cancel") << "31022026"
                                      << ""
                                      << "btnFechar" << 0 << false << false;
    QTest::newRow("another focusable button") << "31022026" << "" << "btnOutro" << 1 << true
                                              << true;
}

void tst_FilterControls::exitCheck()
{
    QFETCH(QString, iniKeys);
    QFETCH(QString, finKeys);
    QFETCH(QString, action);
    QFETCH(int, messages);
    QFETCH(bool, backInIni);
    QFETCH(bool, open);
    FilterDialog dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.depFin->SetText(finKeys);
    dialog.depIni->setFocus(Qt::TabFocusReason);
    dialog.depIni->setCursorPosition(0);
    QTest::keyClicks(dialog.depIni, iniKeys);
    const QString typedText = dialog.depIni->Text();

    if (action == QLatin1String("tabModal")) {
        // The host's message box: a modal window that takes the focus.
        HostDisplays::setMessageHandler([this](const QString &t) {
            m_messages << t;
            QDialog box;
            box.setWindowTitle("Mensagem");
            QTimer::singleShot(30, &box, &QDialog::accept);
            box.exec();
        });
    }
    if (action.startsWith(QLatin1String("tab")))
        QTest::keyClick(dialog.depIni, Qt::Key_Tab);
    else if (action == QLatin1String("click"))
        QTest::mouseClick(dialog.depFin, Qt::LeftButton);
    else if (action == QLatin1String("esc"))
        QTest::keyClick(dialog.depIni, Qt::Key_Escape);
    else if (action == QLatin1String("sbtCancela"))
        QTest::mouseClick(dialog.sbtCancela, Qt::LeftButton);
    else if (action.startsWith(QLatin1String("btn"))) {
        // A person's click: the focus moves on press, the click comes later.
        QWidget *button = dialog.findChild<QWidget *>(action);
        QTest::mousePress(button, Qt::LeftButton);
        QTest::qWait(50);
        QTest::mouseRelease(button, Qt::LeftButton);
    }
    QTest::qWait(150);
    if (open)
        QTRY_COMPARE(dialog.focusWidget() == dialog.depIni, backInIni);
    QCOMPARE(m_messages.size(), messages);
    QCOMPARE(dialog.isVisible(), open);
    QCOMPARE(dialog.depIni->Text(), typedText); // nothing typed is lost
}

void tst_FilterControls::confirmKeys()
{
    FilterDialog dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.depIni->setFocus();
    QTest::keyClick(dialog.depIni, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(dialog.depIni, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(dialog.confirms, 2);
    QVERIFY(dialog.sbtConfirma->toolTip().contains("Ctrl+Enter"));
    QVERIFY(dialog.sbtCancela->toolTip().contains("Esc"));
    // The key leaves the edit first: a date it refuses stops the confirmation
    // there, its text selected for retyping.
    dialog.depIni->setCursorPosition(0);
    QTest::keyClicks(dialog.depIni, "31022026");
    QTest::keyClick(dialog.depIni, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(dialog.confirms, 2);
    QCOMPARE(m_messages, QStringList{"Data inválida."});
    QCOMPARE(dialog.focusWidget(), dialog.depIni);
    QCOMPARE(dialog.depIni->selectedText(), QStringLiteral("31/02/2026"));
}

void tst_FilterControls::pickList_data()
{
    QTest::addColumn<bool>("tree");
    QTest::addColumn<QString>("typed"); // code in the edit, with PesqChave
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("visible");
    QTest::addColumn<int>("picked"); // -1: no pick, no after event

    QTest::newRow("Enter picks the current") << false << ""
                                             << "" << int(Qt::Key_Return) << 7 << 0;
    QTest::newRow("filter by name") << false << ""
                                    << "feijão" << int(Qt::Key_Return) << 1 << 3;
    QTest::newRow("filter by hidden code") << false << ""
                                           << "000003" << int(Qt::Key_Return) << 1 << 6;
    QTest::newRow("filter by shown code") << false << ""
                                          << "01.01.0001" << int(Qt::Key_Enter) << 1 << 2;
    QTest::newRow("Esc picks nothing") << false << ""
                                       << "" << int(Qt::Key_Escape) << 7 << -1;
    QTest::newRow("nothing matches") << false << ""
                                     << "xyz" << int(Qt::Key_Return) << 0 << -1;
    QTest::newRow("opens on the typed code") << false << "01010002"
                                             << "" << int(Qt::Key_Return) << 7 << 3;
    QTest::newRow("tree: a group is not picked") << true << ""
                                                 << "" << int(Qt::Key_Return) << 3 << -1;
    QTest::newRow("tree: filter to an item") << true << ""
                                             << "sabão em" << int(Qt::Key_Return) << 1 << 6;
    QTest::newRow("tree: opens on the typed code") << true << "02010001"
                                                   << "" << int(Qt::Key_Return) << 3 << 6;
}

void tst_FilterControls::pickList()
{
    QFETCH(bool, tree);
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(int, key);
    QFETCH(int, visible);
    QFETCH(int, picked);
    TClientDataSet ds("qryProduto");
    loadProducts(ds);
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget form;
    auto *edit = new TMaskEdit(&form);
    edit->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    edit->SetText(typed);
    auto *button = new TBtnPesquisa(&form);
    button->SetAssociate(edit);
    button->SetTitle("Produto");
    button->SetDataSource(&source);
    button->SetFieldCodigo("CDPRODUTO");
    button->SetFieldNome("NMPRODUTO");
    button->SetPesqType(tree ? TPesqType::ptArvore : TPesqType::ptLista);
    button->SetPesqChave(!typed.isEmpty());
    int befores = 0;
    QList<int> afters;
    button->OnBeforePesq = [&befores](TBtnPesquisa *, bool &) { ++befores; };
    button->OnAfterPesq = [&afters, &ds](TBtnPesquisa *) { afters << ds.CurrentRow(); };
    form.show();
    edit->setFocus();

    int shown = -1;
    onModal(m_owner.get(), [&](QWidget *modal) {
        auto *list = qobject_cast<PickListDialog *>(modal);
        QVERIFY(list);
        list->SetFilterText(filter);
        shown = list->VisibleRowCount();
        auto *filterBox = list->findChild<QLineEdit *>("edtFiltro");
        QTest::keyClick(filterBox, Qt::Key(key));
        if (list->isVisible())
            QTest::keyClick(filterBox, Qt::Key_Escape); // what a user does next
    });
    QTest::keyClick(edit, Qt::Key_F2); // F2 in the edit opens the list
    QCOMPARE(befores, 1);
    QCOMPARE(shown, visible);
    QCOMPARE(afters, picked < 0 ? QList<int> {} : QList<int> { picked });
    QCOMPARE(ds.CurrentRow(), picked < 0 ? 0 : picked);
    QVERIFY(m_errors.isEmpty());
}

void tst_FilterControls::pickListEmptyOrStopped_data()
{
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("proceed");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("empty data set") << true << true << QStringList { "Não há produto cadastrado." };
    QTest::newRow("before event stops") << false << false << QStringList {};
}

void tst_FilterControls::pickListEmptyOrStopped()
{
    QFETCH(bool, empty);
    QFETCH(bool, proceed);
    QFETCH(QStringList, errors);
    TClientDataSet ds("qryProduto");
    loadProducts(ds);
    if (empty)
        ds.LoadFromPacket(packetOf({ { "CDARVPROD", TFieldType::ftString, 20 },
                                     { "CDPRODUTO", TFieldType::ftString, 10 },
                                     { "NMPRODUTO", TFieldType::ftString, 50 } },
                                   {}));
    TDataSource source;
    source.SetDataSet(&ds);
    TBtnPesquisa button;
    button.SetDataSource(&source);
    button.SetEmptyError("Não há produto cadastrado.");
    int afters = 0;
    button.OnBeforePesq = [proceed](TBtnPesquisa *, bool &go) { go = proceed; };
    button.OnAfterPesq = [&afters](TBtnPesquisa *) { ++afters; };
    bool opened = false;
    onModal(m_owner.get(), [&opened](QWidget *modal) {
        opened = true;
        modal->close();
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::qWait(50);
    QVERIFY(!opened);
    QCOMPARE(afters, 0);
    QCOMPARE(m_errors, errors);
}

void tst_FilterControls::multiSelection_data()
{
    QTest::addColumn<QString>("incoming");
    // A all, N none, I invert, digit: Space on that row; on the focused
    // control: 'text' typed, v Down, ^ Up, < Backspace, a space its key.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("result");

    QTest::newRow("pre-marked") << "0002,0004"
                                << "" << true << "2 selecionados"
                                << "0002,0004";
    QTest::newRow("space adds in data-set order") << "0003"
                                                  << "0" << true << "2 selecionados"
                                                  << "0001,0003";
    QTest::newRow("space removes") << "0001,0003"
                                   << "0" << true << "1 selecionados"
                                   << "0003";
    QTest::newRow("mark all") << ""
                              << "A" << true << "4 selecionados"
                              << "0001,0002,0003,0004";
    QTest::newRow("mark none") << "0001"
                               << "N" << true << "0 selecionados"
                               << "";
    QTest::newRow("invert") << "0002"
                            << "I" << true << "3 selecionados"
                            << "0001,0003,0004";
    QTest::newRow("cancel keeps the list") << "0002"
                                           << "A" << false << "4 selecionados"
                                           << "0002";
    QTest::newRow("typed filter keeps its space; Down, then Space marks")
        << "" << "'L 0003'v " << true << "1 selecionados" << "0003";
    QTest::newRow("a digit typed in the list goes on in the filter")
        << "" << "'l 000'v'2'v " << true << "1 selecionados" << "0002";
    QTest::newRow("Backspace in the list edits the filter")
        << "" << "'l 0004'v<v^ " << true << "1 selecionados" << "0003";
}

void tst_FilterControls::multiSelection()
{
    QFETCH(QString, incoming);
    QFETCH(QString, actions);
    QFETCH(bool, confirm);
    QFETCH(QString, count);
    QFETCH(QString, result);
    TClientDataSet ds("cdsFilial");
    loadBranches(ds, { "0001", "0002", "0003", "0004" });
    TDataSource source;
    source.SetDataSet(&ds);
    QString shownCount;
    int roomLeft = 0;
    onModal(m_owner.get(), [&](QWidget *modal) {
        auto *dialog = qobject_cast<MultiSelectDialog *>(modal);
        QVERIFY(dialog);
        auto *view = dialog->findChild<QTreeWidget *>("lvwLista");
        // Keys go where the focus is, and shortcuts need the window active.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        // Rows as tall as the check boxes they hold, with a small font too.
        QFont small = view->font();
        small.setPixelSize(9);
        view->setFont(small);
        view->doItemsLayout();
        roomLeft = view->visualItemRect(view->topLevelItem(0)).height()
                   - view->style()->pixelMetric(QStyle::PM_IndicatorHeight);
        bool typing = false;
        for (const QChar a : actions) {
            QWidget *focus = QApplication::focusWidget();
            const Qt::KeyboardModifiers shift = a.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
            if (a == '\'')
                typing = !typing;
            else if (typing)
                QTest::sendKeyEvent(QTest::Click, focus, Qt::Key(a.toUpper().unicode()), a, shift);
            else if (a == 'v' || a == '^' || a == '<' || a == ' ')
                QTest::keyClick(focus, a == 'v' ? Qt::Key_Down : a == '^' ? Qt::Key_Up
                                       : a == '<' ? Qt::Key_Backspace : Qt::Key_Space);
            else if (a == 'A')
                QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
            else if (a == 'N')
                QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
            else if (a == 'I')
                QTest::keyClick(view, Qt::Key_I, Qt::ControlModifier);
            else {
                view->setCurrentItem(view->topLevelItem(a.digitValue()));
                QTest::keyClick(view, Qt::Key_Space);
            }
        }
        shownCount = dialog->findChild<QLabel *>("lblSelecionados")->text();
        QTest::keyClick(view, confirm ? Qt::Key_Return : Qt::Key_Escape);
    });
    QString list = incoming;
    QCOMPARE(Pesqlista::PesquisaLista(&source, "CDFILIAL", "Filial Solicitante", false, list),
             confirm);
    QCOMPARE(shownCount, count);
    QCOMPARE(list, result);
    QVERIFY2(roomLeft >= 2, qPrintable(QString::number(roomLeft)));
    if (confirm) {
        for (int row = 0; row < ds.RecordCount(); ++row) {
            const QString key = ds.RawValue(row, 1).toString();
            QCOMPARE(ds.RawValue(row, 0).toString() == "S", result.split(',').contains(key));
        }
    }
}

void tst_FilterControls::multiSelectionRefusesKey_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("message"); // part of it; "" for the empty data set

    QTest::newRow("comma") << QStringList { "0001", "0,02" } << "vírgula";
    QTest::newRow("a space") << QStringList { "0001", "0 2" } << "somente letras e dígitos";
    QTest::newRow("empty data set") << QStringList {} << "Nenhum registro para selecionar.";
}

void tst_FilterControls::multiSelectionRefusesKey()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, message);
    TClientDataSet ds("cdsFilial");
    loadBranches(ds, keys);
    TDataSource source;
    source.SetDataSet(&ds);
    bool stayedOpen = false;
    onModal(m_owner.get(), [&](QWidget *modal) {
        auto *view = modal->findChild<QTreeWidget *>("lvwLista");
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Return);
        stayedOpen = modal->isVisible();
        QTest::keyClick(view, Qt::Key_Escape);
    });
    QString list = "0001";
    QVERIFY(!Pesqlista::PesquisaLista(&source, "CDFILIAL", "Filial Solicitante", false, list));
    QCOMPARE(list, QStringLiteral("0001"));
    QCOMPARE(stayedOpen, !keys.isEmpty());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(message), qPrintable(m_messages.first()));
}

void tst_FilterControls::procura_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keys"); // n: F3, p: Shift+F3
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("notFound");

    QTest::newRow("forward wraps round") << "Sim"
                                         << "nnn" << QList<int> { 2, 0, 2 } << 0;
    QTest::newRow("backward wraps round") << "Não"
                                          << "ppp" << QList<int> { 3, 1, 3 } << 0;
    QTest::newRow("both ways") << "Sim"
                               << "np" << QList<int> { 2, 0 } << 0;
    QTest::newRow("not found") << "Talvez"
                               << "n" << QList<int> {} << 1;
}

void tst_FilterControls::procura()
{
    QFETCH(QString, text);
    QFETCH(QString, keys);
    QFETCH(QList<int>, rows);
    QFETCH(int, notFound);
    TClientDataSet ds("cdsSoli");
    ds.AddField("NRSOLICMP", TFieldType::ftString, 10)->SetDisplayLabel("Solicitação");
    TField *flag = ds.AddField("IDSOLIAPROV", TFieldType::ftString, 1);
    flag->SetDisplayLabel("Aprovada");
    flag->OnGetText = [](TField *sender, QString &shown, bool) {
        shown = sender->AsString() == "S" ? QStringLiteral("Sim") : QStringLiteral("Não");
    };
    ds.LoadFromPacket(packetOf(
        { { "NRSOLICMP", TFieldType::ftString, 10 }, { "IDSOLIAPROV", TFieldType::ftString, 1 } },
        { { "S001", "S" }, { "S002", "N" }, { "S003", "S" }, { "S004", "N" } }));
    QList<int> scrolled;
    ds.AfterScroll = [&scrolled](TClientDataSet *sender) { scrolled << sender->CurrentRow(); };
    bool stayedOpen = false;
    onModal(m_owner.get(), [&](QWidget *modal) {
        auto *box = modal->findChild<QLineEdit *>("edtTexto");
        box->setText(text);
        for (const QChar k : keys)
            QTest::keyClick(box, Qt::Key_F3, k == 'p' ? Qt::ShiftModifier : Qt::NoModifier);
        stayedOpen = modal->isVisible();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    Procurar::Procura(&ds);
    QVERIFY(stayedOpen);
    QCOMPARE(scrolled, rows);
    QCOMPARE(m_messages.count("Não encontrado."), notFound);
}

// Qt's own texts and the numbers in Portuguese, as the host sets them up.
void tst_FilterControls::portuguese()
{
    QVERIFY2(HostLocale::install(qApp), "Qt's pt_BR translations (qt6-translations-l10n)");
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));
    QCOMPARE(QLocale().toString(69632), QStringLiteral("69.632"));
}

QTEST_MAIN(tst_FilterControls)
#include "tst_filtercontrols.moc"
