// Pick lists and multi-selections filter as people type: case and accents
// do not count, codes match as typed (the rule the grid search shares).
#include "data/TClientDataSet.h"
#include "forms/MultiSelectDialog.h"
#include "forms/PickListDialog.h"

#include <QTest>
#include <QTreeWidget>

class tst_TextMatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("shown");
        QTest::newRow("sao finds both São") << "sao" << 2;
        QTest::newRow("jose without accent") << "jose" << 1;
        QTest::newRow("upper case with accent") << "JUNDIAÍ" << 1;
        QTest::newRow("accent typed, none shown") << "cámpinas" << 1;
        QTest::newRow("substring") << "ndia" << 1;
        QTest::newRow("code as typed") << "0003" << 1;
        QTest::newRow("nothing matches") << "bauru" << 0;
    }
    void listsFilter()
    {
        QFETCH(QString, typed);
        QFETCH(int, shown);
        TClientDataSet branches(QStringLiteral("cdsFilial"));
        TDataPacket packet;
        packet.fields = {{"IDMARCADO", TFieldType::ftFixedChar, 1},
                         {"CDFILIAL", TFieldType::ftString, 4},
                         {"NMFILIAL", TFieldType::ftString, 30}};
        for (const auto &field : std::as_const(packet.fields))
            branches.AddField(field.name, field.type, field.size);
        packet.rows = {{"N", "0001", "São Paulo"}, {"N", "0002", "São José dos Campos"},
                       {"N", "0003", "Jundiaí"}, {"N", "0004", "Campinas"}};
        branches.LoadFromPacket(packet);

        PickListDialog::TOptions options;
        options.title = "Filiais";
        options.codeField = "CDFILIAL";
        options.nameField = "NMFILIAL";
        PickListDialog pick(&branches, options);
        pick.SetFilterText(typed);
        QCOMPARE(pick.VisibleRowCount(), shown);

        MultiSelectDialog multi(&branches, "CDFILIAL", "Filiais", {});
        multi.SetFilterText(typed);
        const auto *list = multi.findChild<QTreeWidget *>();
        int visible = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            visible += list->topLevelItem(i)->isHidden() ? 0 : 1;
        QCOMPARE(visible, shown);
    }
};

QTEST_MAIN(tst_TextMatch)
#include "tst_textmatch.moc"
