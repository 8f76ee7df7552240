// Renders the filter dialog's framework controls offscreen into PNG files
// for docs/framework: framework_shots OUTPUT_DIR
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "forms/MultiSelectDialog.h"
#include "forms/PickListDialog.h"
#include "forms/SearchDialog.h"
#include "services/Corvel.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTreeWidget>

#include <cstdio>

namespace {
TDataPacket productRows()
{
    TDataPacket packet;
    packet.fields = { { "CDARVPROD", TFieldType::ftString, 20 },
                      { "CDPRODUTO", TFieldType::ftString, 10 },
                      { "NMPRODUTO", TFieldType::ftString, 50 } };
    packet.rows = { { "01", "G1", "Alimentos" },
                    { "0101", "S11", "Grãos" },
                    { "01010001", "000001", "Arroz tipo 1" },
                    { "01010002", "000002", "Feijão carioca" },
                    { "0102", "S12", "Óleos" },
                    { "01020001", "000004", "Óleo de soja" },
                    { "02", "G2", "Limpeza" },
                    { "0201", "S21", "Sabões" },
                    { "02010001", "000003", "Sabão em pó" } };
    return packet;
}

void declareProducts(TClientDataSet &ds)
{
    ds.AddField("CDARVPROD", TFieldType::ftString, 20)->SetDisplayLabel("Código");
    ds.FieldByName("CDARVPROD")->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    ds.FieldByName("CDARVPROD")->SetDisplayWidth(12);
    ds.AddField("CDPRODUTO", TFieldType::ftString, 10)->SetVisible(false);
    ds.AddField("NMPRODUTO", TFieldType::ftString, 50)->SetDisplayLabel("Nome");
    ds.FieldByName("NMPRODUTO")->SetDisplayWidth(40);
    ds.LoadFromPacket(productRows());
}

bool save(QWidget &widget, const QString &dir, const char *name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + QLatin1String(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    widget.hide();
    return true;
}

QWidget *controlsDemo()
{
    auto *panel = new QGroupBox(QStringLiteral("Produto e datas"));
    auto *grid = new QGridLayout(panel);
    auto *code = new TMaskEdit(panel);
    code->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    code->SetText(QStringLiteral("01010002"));
    auto *lookup = new TBtnPesquisa(panel);
    lookup->SetAssociate(code);
    auto *name = new QLineEdit(QStringLiteral("Feijão carioca"), panel);
    name->setEnabled(false);
    auto *ini = new TDateEditPlus(panel);
    ini->SetDate(QDate(2026, 12, 1));
    auto *fin = new TDateEditPlus(panel);
    fin->setCursorPosition(0);
    fin->setText(QStringLiteral("3102"));
    grid->addWidget(new QLabel(QStringLiteral("Inicial")), 0, 0);
    grid->addWidget(code, 0, 1);
    grid->addWidget(lookup, 0, 2);
    grid->addWidget(name, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Entrega")), 1, 0);
    grid->addWidget(ini, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("dica: Terça (dia da semana)")), 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Até")), 2, 0);
    grid->addWidget(fin, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("meia data: \"Data inválida.\" ao sair")), 2, 3);
    panel->resize(460, 130);
    return panel;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // leaves the user's layouts alone
    if (argc < 2) {
        std::fprintf(stderr, "usage: framework_shots OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    bool ok = true;

    std::unique_ptr<QWidget> demo(controlsDemo());
    ok = save(*demo, dir, "controls.png") && ok;

    TClientDataSet products(QStringLiteral("qryProduto"));
    declareProducts(products);
    PickListDialog::TOptions list;
    list.title = QStringLiteral("Produto");
    list.codeField = QStringLiteral("CDPRODUTO");
    list.nameField = QStringLiteral("NMPRODUTO");
    list.startRow = 3;
    PickListDialog pick(&products, list);
    pick.SetFilterText(QStringLiteral("ó"));
    ok = save(pick, dir, "picklist.png") && ok;

    list.tree = true;
    PickListDialog tree(&products, list);
    ok = save(tree, dir, "picklist-tree.png") && ok;

    TClientDataSet branches(QStringLiteral("cdsFilial"));
    branches.AddField("IDMARCADO", TFieldType::ftFixedChar, 1);
    branches.AddField("CDFILIAL", TFieldType::ftString, 4)->SetDisplayLabel("Código");
    branches.FieldByName("CDFILIAL")->SetDisplayWidth(8);
    branches.AddField("NMFILIAL", TFieldType::ftString, 30)->SetDisplayLabel("Nome");
    TDataPacket rows;
    rows.fields = { { "IDMARCADO", TFieldType::ftFixedChar, 1 },
                    { "CDFILIAL", TFieldType::ftString, 4 },
                    { "NMFILIAL", TFieldType::ftString, 30 } };
    rows.rows = { { "N", "0001", "Campinas" },
                  { "N", "0002", "Ribeirão Preto" },
                  { "N", "0003", "Santos" },
                  { "N", "0004", "São José dos Campos" },
                  { "N", "0005", "Sorocaba" } };
    branches.LoadFromPacket(rows);
    MultiSelectDialog multi(&branches, QStringLiteral("CDFILIAL"),
                            QStringLiteral("Filial Solicitante"), { "0002", "0004" });
    ok = save(multi, dir, "multiselection.png") && ok;

    SearchDialog search(&branches);
    search.SetText(QStringLiteral("São"));
    search.resize(420, search.sizeHint().height());
    ok = save(search, dir, "search.png") && ok;
    return ok ? 0 : 1;
}
