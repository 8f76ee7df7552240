// Building the filter dialog: groups and controls at their design positions.
#include "Cli_vex00301.h"

#include "controls/SystemColors.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {
// The positions are those of an 8-point UI font; this face and size keep
// every caption inside its control with the fonts found on Linux.
QFont dialogFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setBold(false); // set, so the bold of a group caption does not pass down
    return font;
}

QFont boldFont()
{
    QFont font = dialogFont();
    font.setBold(true);
    return font;
}

template<class T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Group captions are bold; the controls inside keep the dialog's font.
QGroupBox *group(const char *name, const QString &title, const QRect &geometry, QWidget *parent)
{
    auto *box = named(new QGroupBox(title, parent), name);
    box->setFont(boldFont());
    box->setGeometry(geometry);
    return box;
}

QLabel *label(const char *name, const QString &text, QPoint at, QWidget *parent, bool bold)
{
    auto *l = named(new QLabel(text, parent), name);
    l->setFont(bold ? boldFont() : dialogFont());
    l->move(at);
    l->adjustSize();
    return l;
}

QCheckBox *checkBox(const char *name, const QString &text, QPoint at, QWidget *parent,
                    bool bold = false)
{
    auto *box = named(new QCheckBox(text, parent), name);
    box->setFont(bold ? boldFont() : dialogFont());
    box->setChecked(true);
    box->move(at);
    box->adjustSize();
    return box;
}

QRadioButton *radio(const char *name, const QString &text, QPoint at, QWidget *parent)
{
    auto *button = named(new QRadioButton(text, parent), name);
    button->setFont(dialogFont());
    button->move(at);
    button->adjustSize();
    return button;
}

void setBackground(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    widget->setPalette(palette);
}

TMaskEdit *codeEdit(const char *name, const QRect &geometry, QWidget *parent,
                    const QColor &background)
{
    auto *edit = named(new TMaskEdit(parent), name);
    edit->setFont(dialogFont());
    edit->setGeometry(geometry);
    setBackground(edit, background);
    return edit;
}

TDateEditPlus *dateEdit(const char *name, QPoint at, QWidget *parent)
{
    auto *edit = named(new TDateEditPlus(parent), name);
    edit->setFont(dialogFont());
    edit->setGeometry(at.x(), at.y(), 100, 21);
    edit->SetValidDateColor(QColor(0, 0, 255));
    edit->SetNomeSemana({QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                         QStringLiteral("Terça"), QStringLiteral("Quarta"),
                         QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                         QStringLiteral("Sábado")});
    edit->SetSaveTime(false);
    return edit;
}

// A small glyph button beside an entry; reached from the entry's keys, not by Tab.
TBtnPesquisa *lookupButton(const char *name, QPoint at, QWidget *parent)
{
    auto *button = named(new TBtnPesquisa(parent), name);
    button->setGeometry(at.x(), at.y(), 21, 21);
    button->setToolTip(QStringLiteral("Pesquisar"));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A name shown beside a code: filled by the lookups, never typed into.
QLineEdit *nameBox(const char *name, const QRect &geometry, QWidget *parent)
{
    auto *edit = named(new QLineEdit(parent), name);
    edit->setFont(dialogFont());
    edit->setGeometry(geometry);
    edit->setReadOnly(true);
    edit->setEnabled(false);
    edit->setFocusPolicy(Qt::NoFocus);
    setBackground(edit, SystemColors::clBtnFace());
    // Disabled, but read all day: the name keeps the text colour.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, SystemColors::clWindowText());
    edit->setPalette(palette);
    return edit;
}
} // namespace

void TfrmFiltroAcomPOL::buildCriteriaArea()
{
    setFont(dialogFont());
    grbFiltroPadrao->setFont(dialogFont());
    // The radio groups come first among the children: the base restores
    // saved options in child order, and the rules that a radio selection
    // runs must not overwrite the check boxes restored after it.
    buildListGroups();
    buildBranchGroup();
    buildDateGroups();
    buildProductGroup();
    buildCheckGroups();
    buildTabOrder();
}

// Reading order; grbItemConsol, a child of the dialog, between Status and
// Pedido Gerado. A radio pair is one stop (see keepRadioPairOneStop).
void TfrmFiltroAcomPOL::buildTabOrder()
{
    const QList<QWidget *> chain = {
        medFilOL,     depEntrIni,   depEntrFin,   depSolIni,      depSolFin,
        rbtFilialTodas, rbtFilialLista, rbtConsolTodas, rbtConsolLista,
        medProdutoInicial, medProdutoFinal, chbED, chbOL, chbConsolSim, chbConsolNao,
        chbGeradoSim, chbGeradoNao, chbPedMaior, chbPedMenor, chbPedIgual,
    };
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    keepRadioPairOneStop(rbtFilialTodas, rbtFilialLista);
    keepRadioPairOneStop(rbtConsolTodas, rbtConsolLista);
}

void TfrmFiltroAcomPOL::buildBranchGroup()
{
    grbFilOL = group("grbFilOL", QString(), QRect(8, 11, 375, 39), grbFiltroPadrao);
    lblFilOL = label("lblFilOL", QStringLiteral("Filial OL"), {8, 14}, grbFilOL, true);
    const int left = lblFilOL->geometry().right() + 6;
    medFilOL = codeEdit("medFilOL", QRect(left, 10, 44, 21), grbFilOL, SystemColors::clInfoBk());
    medFilOL->SetEditMask(QStringLiteral(">aaaa;0; "));
    medFilOL->SetMaxLength(4);
    btnFilOL = lookupButton("btnFilOL", {left + 46, 10}, grbFilOL);
    edtFilOL = nameBox("edtFilOL", QRect(left + 70, 10, 367 - left - 70, 21), grbFilOL);
}

void TfrmFiltroAcomPOL::buildDateGroups()
{
    grbDataEnt = group("grbDataEnt", QStringLiteral("Data de Entrega"), QRect(8, 55, 189, 69),
                       grbFiltroPadrao);
    lblDtEntr = label("lblDtEntr", QStringLiteral("Inicial"), {10, 22}, grbDataEnt, false);
    depEntrIni = dateEdit("depEntrIni", {60, 18}, grbDataEnt);
    lblDtFin = label("lblDtFin", QStringLiteral("Final"), {10, 46}, grbDataEnt, false);
    depEntrFin = dateEdit("depEntrFin", {60, 42}, grbDataEnt);

    grbDataSol = group("grbDataSol", QStringLiteral("Data de Solicitação"),
                       QRect(201, 55, 182, 69), grbFiltroPadrao);
    lblDtSolIni = label("lblDtSolIni", QStringLiteral("Inicial"), {10, 22}, grbDataSol, false);
    depSolIni = dateEdit("depSolIni", {60, 18}, grbDataSol);
    lblDtSolFin = label("lblDtSolFin", QStringLiteral("Final"), {10, 46}, grbDataSol, false);
    depSolFin = dateEdit("depSolFin", {60, 42}, grbDataSol);
}

void TfrmFiltroAcomPOL::buildListGroups()
{
    grbFilSoli = group("grbFilSoli", QStringLiteral("Filial Solicitante"),
                       QRect(8, 127, 189, 40), grbFiltroPadrao);
    rbtFilialTodas = radio("rbtFilialTodas", QStringLiteral("Todas"), {10, 17}, grbFilSoli);
    rbtFilialLista = radio("rbtFilialLista", QStringLiteral("Lista"), {75, 17}, grbFilSoli);
    rbtFilialTodas->setChecked(true);
    // In the criteria area, over the right end of the group.
    btpFilial = lookupButton("btpFilial", {145, 140}, grbFiltroPadrao);

    grbConsolidacao = group("grbConsolidacao", QStringLiteral("Nº da Consolidação"),
                            QRect(201, 127, 183, 40), grbFiltroPadrao);
    rbtConsolTodas = radio("rbtConsolTodas", QStringLiteral("Todas"), {10, 17}, grbConsolidacao);
    rbtConsolLista = radio("rbtConsolLista", QStringLiteral("Lista"), {75, 17}, grbConsolidacao);
    rbtConsolTodas->setChecked(true);
    btpConsolidacao = lookupButton("btpConsolidacao", {146, 13}, grbConsolidacao);
}

void TfrmFiltroAcomPOL::buildProductGroup()
{
    grbProd = group("grbProd", QStringLiteral("Produto"), QRect(8, 172, 376, 69),
                    grbFiltroPadrao);
    Label9 = label("Label9", QStringLiteral("Inicial"), {10, 22}, grbProd, true);
    medProdutoInicial = codeEdit("medProdutoInicial", QRect(56, 18, 100, 21), grbProd,
                                 SystemColors::clBtnHighlight());
    btnPesqProdutoInicial = lookupButton("btnPesqProdutoInicial", {158, 18}, grbProd);
    edtProdutoInicial = nameBox("edtProdutoInicial", QRect(183, 18, 185, 21), grbProd);
    Label10 = label("Label10", QStringLiteral("Final"), {10, 46}, grbProd, true);
    medProdutoFinal = codeEdit("medProdutoFinal", QRect(56, 42, 100, 21), grbProd,
                               SystemColors::clBtnHighlight());
    btnPesqProdutoFinal = lookupButton("btnPesqProdutoFinal", {158, 42}, grbProd);
    edtProdutoFinal = nameBox("edtProdutoFinal", QRect(183, 42, 185, 21), grbProd);
}

void TfrmFiltroAcomPOL::buildCheckGroups()
{
    grbStatus = group("grbStatus", QStringLiteral("Status"), QRect(9, 243, 148, 65),
                      grbFiltroPadrao);
    chbED = checkBox("chbED", QStringLiteral("ED(Entrega Direta)"), {10, 19}, grbStatus);
    chbOL = checkBox("chbOL", QStringLiteral("OL(Entrega via OL)"), {10, 41}, grbStatus);

    grbPedidoGerado = group("grbPedidoGerado", QStringLiteral("Pedido Gerado"),
                            QRect(285, 243, 99, 65), grbFiltroPadrao);
    chbGeradoSim = checkBox("chbGeradoSim", QStringLiteral("Sim"), {10, 19}, grbPedidoGerado);
    chbGeradoNao = checkBox("chbGeradoNao", QStringLiteral("Não"), {10, 41}, grbPedidoGerado);

    grbQtdePedido = group("grbQtdePedido", QStringLiteral("Qtde. do Pedido"),
                          QRect(10, 309, 374, 79), grbFiltroPadrao);
    chbPedMaior = checkBox("chbPedMaior", QStringLiteral("Maior que o solicitado"), {10, 17},
                           grbQtdePedido, true);
    chbPedMenor = checkBox("chbPedMenor", QStringLiteral("Menor que o solicitado"), {10, 37},
                           grbQtdePedido, true);
    chbPedIgual = checkBox("chbPedIgual", QStringLiteral("Igual ao solicitado"), {10, 57},
                           grbQtdePedido, true);

    // A child of the dialog drawn over the criteria area, between Status
    // and Pedido Gerado.
    grbItemConsol = group("grbItemConsol", QStringLiteral("Item Consolidado"),
                          QRect(159, 243, 123, 65), this);
    chbConsolSim = checkBox("chbConsolSim", QStringLiteral("Sim"), {10, 19}, grbItemConsol);
    chbConsolNao = checkBox("chbConsolNao", QStringLiteral("Não"), {10, 41}, grbItemConsol);
    grbItemConsol->raise();
}
