// Finding text the way people type it: case and accents do not count, codes
// match as typed. The grid search, pick lists and multi-selections share
// the rule; the search offers what the grid shows.
#include "OleDate.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "forms/MultiSelectDialog.h"
#include "forms/PickListDialog.h"
#include "forms/Procurar.h"
#include "forms/SearchDialog.h"
#include "services/HostDisplays.h"
#include "services/TextMatch.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {
TDataPacket packetOf(const QList<TPacketField> &fields, const QList<QVariantList> &rows)
{
    TDataPacket packet;
    packet.fields = fields;
    packet.rows = rows;
    return packet;
}

const QStringList kBranchNames{"São Paulo", "São José dos Campos", "Jundiaí", "Campinas"};

void loadBranches(TClientDataSet &ds)
{
    ds.AddField("IDMARCADO", TFieldType::ftFixedChar, 1);
    ds.AddField("CDFILIAL", TFieldType::ftString, 4)->SetDisplayLabel("Código");
    ds.AddField("NMFILIAL", TFieldType::ftString, 30)->SetDisplayLabel("Nome");
    QList<QVariantList> rows;
    for (int i = 0; i < kBranchNames.size(); ++i)
        rows << QVariantList{"N", QStringLiteral("000%1").arg(i + 1), kBranchNames.at(i)};
    ds.LoadFromPacket(packetOf({{"IDMARCADO", TFieldType::ftFixedChar, 1},
                                {"CDFILIAL", TFieldType::ftString, 4},
                                {"NMFILIAL", TFieldType::ftString, 30}},
                               rows));
}

// Runs action on the next modal window, then closes it; no test blocks.
void onModal(QObject *owner, std::function<void(QDialog *)> action)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
        modal->reject();
    });
    timer->start(10);
}
} // namespace

class tst_TextMatch : public QObject
{
    Q_OBJECT

private:
    TClientDataSet *cds = nullptr;
    TDataSource *source = nullptr;
    TDBGrid *grid = nullptr;
    QStringList messages;

private Q_SLOTS:
    void init()
    {
        messages.clear();
        HostDisplays::setMessageHandler([this](const QString &t) { messages << t; });
        // Requests as the request grid shows them: most fields' own flag is
        // hidden, the grid's column list decides.
        cds = new TClientDataSet(QStringLiteral("cdsSoli"));
        cds->AddField("NRSOLICMP", TFieldType::ftString, 10)->SetDisplayLabel("Nº");
        TField *code = cds->AddField("CDARVPROD", TFieldType::ftString, 20);
        code->SetDisplayLabel("Produto");
        code->SetEditMask("99.99.9999;0;_");
        TField *name = cds->AddField("NMPRODUTO", TFieldType::ftString, 50);
        name->SetDisplayLabel("Nome do Produto");
        name->SetVisible(false);
        TField *quantity = cds->AddField("QTSOLIPROD", TFieldType::ftFloat);
        quantity->SetDisplayFormat("#,##0.000");
        quantity->SetVisible(false);
        cds->AddField("DTPROGENTR", TFieldType::ftDateTime)->SetVisible(false);
        TField *approved = cds->AddField("IDSOLIAPROV", TFieldType::ftString, 1);
        approved->SetVisible(false);
        approved->OnGetText = [](TField *sender, QString &text, bool) {
            text = sender->AsString() == QLatin1String("S") ? QStringLiteral("Sim")
                                                           : QStringLiteral("Não");
        };
        cds->AddField("SECRET", TFieldType::ftString, 10); // in no column
        const double march15 = OleDate::fromDate(QDate(2026, 3, 15));
        cds->LoadFromPacket(packetOf(
            {{"NRSOLICMP", TFieldType::ftString, 10}, {"CDARVPROD", TFieldType::ftString, 20},
             {"NMPRODUTO", TFieldType::ftString, 50}, {"QTSOLIPROD", TFieldType::ftFloat, 0},
             {"DTPROGENTR", TFieldType::ftDateTime, 0}, {"IDSOLIAPROV", TFieldType::ftString, 1},
             {"SECRET", TFieldType::ftString, 10}},
            {{"R1", "01010001", "Arroz tipo 1", 10.0, march15 - 1, "N", "escondido"},
             {"R2", "01020003", "Feijão Preto 1 kg", 1234.5, march15, "S", ""},
             {"R3", "02010001", "Açúcar Cristal", 2.0, march15 + 1, "N", ""}}));
        source = new TDataSource;
        source->SetDataSet(cds);
        grid = new TDBGrid;
        grid->SetDataSource(source);
        for (const char *column :
             {"NRSOLICMP", "CDARVPROD", "NMPRODUTO", "QTSOLIPROD", "DTPROGENTR", "IDSOLIAPROV"})
            grid->AddColumn(QString::fromLatin1(column));
    }
    void cleanup()
    {
        delete grid;
        delete source;
        delete cds;
        HostDisplays::setMessageHandler({});
    }

    void rule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("found");
        QTest::newRow("plain lower case") << "sao" << "São Paulo" << true;
        QTest::newRow("upper case, accent typed") << "SÃO" << "são paulo" << true;
        QTest::newRow("accent typed, none shown") << "josé" << "JOSE" << true;
        QTest::newRow("cedilla") << "acucar" << "Açúcar Cristal" << true;
        QTest::newRow("tilde in the middle") << "feijao preto" << "Feijão Preto 1 kg" << true;
        QTest::newRow("substring") << "ndia" << "Jundiaí" << true;
        QTest::newRow("code as shown") << "01.02" << "01.02.0003" << true;
        QTest::newRow("code with other digits") << "0103" << "01.02.0003" << false;
        QTest::newRow("other letter") << "sal" << "São Paulo" << false;
        QTest::newRow("nothing typed") << "" << "Campinas" << true;
    }
    void rule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, found);
        QCOMPARE(TextMatch::contains(shown, typed), found);
    }

    // Pick lists and multi-selections filter with the same rule.
    void listsFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("shown");
        QTest::newRow("sao finds both São") << "sao" << 2;
        QTest::newRow("jose without accent") << "jose" << 1;
        QTest::newRow("upper case with accent") << "JUNDIAÍ" << 1;
        QTest::newRow("accent typed, none needed") << "cámpinas" << 1;
        QTest::newRow("code as typed") << "0003" << 1;
        QTest::newRow("nothing matches") << "bauru" << 0;
    }
    void listsFilter()
    {
        QFETCH(QString, typed);
        QFETCH(int, shown);
        TClientDataSet branches(QStringLiteral("cdsFilial"));
        loadBranches(branches);

        PickListDialog::TOptions options;
        options.title = QStringLiteral("Filiais");
        options.codeField = QStringLiteral("CDFILIAL");
        options.nameField = QStringLiteral("NMFILIAL");
        PickListDialog pick(&branches, options);
        pick.SetFilterText(typed);
        QCOMPARE(pick.VisibleRowCount(), shown);

        MultiSelectDialog multi(&branches, QStringLiteral("CDFILIAL"), QStringLiteral("Filiais"),
                                {});
        multi.SetFilterText(typed);
        const auto *list = multi.findChild<QTreeWidget *>();
        QVERIFY(list);
        int visible = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            visible += list->topLevelItem(i)->isHidden() ? 0 : 1;
        QCOMPARE(visible, shown);
    }

    // Ctrl+F on a grid: every column it shows, by type, whatever the field's
    // own flag; what no column shows is not searched.
    void searchWhatTheGridShows_data()
    {
        QTest::addColumn<QString>("field"); // "" all the columns
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::newRow("all columns, no accent typed") << "" << "feijao" << 1;
        QTest::newRow("all columns, as shown") << "" << "Feijão Preto" << 1;
        QTest::newRow("hidden-flag text column") << "NMPRODUTO" << "acucar" << 2;
        QTest::newRow("number as shown") << "QTSOLIPROD" << "1.234,5" << 1;
        QTest::newRow("date as shown") << "DTPROGENTR" << "16/03/2026" << 2;
        QTest::newRow("coded word") << "IDSOLIAPROV" << "sim" << 1;
        QTest::newRow("code with the mask's dots") << "CDARVPROD" << "02.01" << 2;
        QTest::newRow("code as stored") << "CDARVPROD" << "01020003" << 1;
        QTest::newRow("field in no column") << "" << "escondido" << -1;
    }
    void searchWhatTheGridShows()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, row);
        cds->MoveTo(0);
        int columnsOffered = 0;
        bool found = false;
        onModal(this, [&](QDialog *modal) {
            auto *search = qobject_cast<SearchDialog *>(modal);
            QVERIFY(search);
            columnsOffered = modal->findChild<QComboBox *>("cbxCampo")->count() - 1;
            search->SetFieldName(field);
            search->SetText(typed);
            found = search->FindNext();
        });
        Procurar::Procura(grid);
        QCOMPARE(columnsOffered, 6);
        QCOMPARE(found, row >= 0);
        QCOMPARE(cds->CurrentRow(), row >= 0 ? row : 0);
        QCOMPARE(messages, row >= 0 ? QStringList() : QStringList{"Não encontrado."});
    }

    // The current column comes chosen; F3 and Shift+F3 walk the matches.
    void currentColumnAndNextKeys_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("keys"); // n: F3, p: Shift+F3
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("F3 twice, round") << 2 << "nnn" << QList<int>{1, 2, 0};
        QTest::newRow("Shift+F3 goes back") << 2 << "np" << QList<int>{1, 0};
        QTest::newRow("other column, one match") << 0 << "nn" << QList<int>{1, 1};
    }
    void currentColumnAndNextKeys()
    {
        QFETCH(int, column);
        QFETCH(QString, keys);
        QFETCH(QList<int>, rows);
        grid->setCurrentIndex(grid->model()->index(0, column));
        QString chosen;
        QList<int> visited;
        onModal(this, [&](QDialog *modal) {
            auto *search = qobject_cast<SearchDialog *>(modal);
            chosen = modal->findChild<QComboBox *>("cbxCampo")->currentData().toString();
            // "r" is in every product name, and only in R2's request number.
            search->SetText(column == 0 ? QStringLiteral("2") : QStringLiteral("r"));
            QLineEdit *text = modal->findChild<QLineEdit *>("edtTexto");
            for (const QChar key : keys) {
                QTest::keyClick(text, Qt::Key_F3,
                                key == u'p' ? Qt::ShiftModifier : Qt::NoModifier);
                visited << cds->CurrentRow();
            }
        });
        Procurar::Procura(grid);
        QCOMPARE(chosen, grid->Columns().at(column)->FieldName);
        QCOMPARE(visited, rows);
    }
};

QTEST_MAIN(tst_TextMatch)
#include "tst_textmatch.moc"
