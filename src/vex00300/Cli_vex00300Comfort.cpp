// What makes the tracking window easy to use all day: row counts, the
// colour legend, the quantity tooltip, keyboard navigation and the
// splitters kept where the user left them.
#include "Cli_vex00300.h"

#include "CodedFields.h"
#include "PanelHeights.h"
#include "ResizeBar.h"
#include "SituationBar.h"

#include "controls/SystemColors.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBRowCount.h"
#include "data/TField.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

namespace {
using SituationBar::swatch;

// The weights of the page's three panels: the two bars' panels as they
// always were, and the product panel between them.
const QLatin1String kSplitter1Key("Splitter1=");
const QLatin1String kProdKey("panProd=");
const QLatin1String kSplitter2Key("Splitter2=");
constexpr int kPanelMinimum = 30;
constexpr int kWeightMaximum = 5000;
} // namespace

void TfrmAcomPOL::buildComfort()
{
    buildCounts();
    buildLegend();
    buildNavigation();
    dbgProd->OnCellHint = [this](TDBGrid *, TColumn *column) {
        if (!column || column->FieldName != QLatin1String("QTPROGENPEOL"))
            return QString();
        return CodedFields::quantityHint(cdsProdQTPROGENPEOL->Value(),
                                         cdsProdVRFATOCONV->Value(), cdsSoliQTSOLIPROD->Value(),
                                         cdsSoliVRFATOCONV->Value());
    };
    dbgPadrao->installEventFilter(this);
    connect(dbgPadrao, &QAbstractItemView::doubleClicked, this,
            [this] { SafeCall([this] { openRequestPage(); }); });
    const QList<QWidget *> panels = stackedPanels();
    for (ResizeBar *bar : {Splitter1, Splitter2}) {
        const int panel = int(panels.indexOf(bar->target()));
        connect(bar, &ResizeBar::dragStarted, this, [this] {
            m_dragStart.clear();
            for (const QWidget *p : stackedPanels())
                m_dragStart << p->height();
        });
        connect(bar, &ResizeBar::draggedBy, this,
                [this, panel](int delta) { dragPanel(panel, delta); });
        connect(bar, &ResizeBar::dragged, this, &TfrmAcomPOL::LayoutChanged);
    }
}

QList<QWidget *> TfrmAcomPOL::stackedPanels() const
{
    return {panFormulario, panProd, panProdOL};
}

QList<int> TfrmAcomPOL::panelWeights() const
{
    QList<int> weights;
    if (const auto *stack = qobject_cast<QBoxLayout *>(tshFormulario->layout())) {
        for (QWidget *panel : stackedPanels())
            weights << stack->stretch(stack->indexOf(panel));
    }
    return weights;
}

void TfrmAcomPOL::setPanelWeights(const QList<int> &weights)
{
    auto *stack = qobject_cast<QBoxLayout *>(tshFormulario->layout());
    const QList<QWidget *> panels = stackedPanels();
    if (!stack || weights.size() != panels.size())
        return;
    for (int i = 0; i < panels.size(); ++i)
        stack->setStretch(stack->indexOf(panels.at(i)), qMax(1, weights.at(i)));
}

// While a bar is dragged the panels take the heights it gives; they are
// the weights from then on, so that a larger window shares its extra
// height in the proportions the user chose.
void TfrmAcomPOL::dragPanel(int panel, int delta)
{
    if (m_dragStart.size() != stackedPanels().size())
        return;
    setPanelWeights(PanelHeights::moveBoundary(m_dragStart, panel, delta, kPanelMinimum));
}

// The branch count sits in the tool bar, seen from both pages.
void TfrmAcomPOL::buildCounts()
{
    lblQtdeFiliais = new TDBRowCount(panMenu);
    lblQtdeFiliais->setObjectName(QStringLiteral("lblQtdeFiliais"));
    lblQtdeFiliais->SetNouns(QStringLiteral("filial"), QStringLiteral("filiais"));
    lblQtdeFiliais->SetDataSource(dtsPadrao);
    lblQtdeFiliais->setGeometry(400, 8, 200, 16); // past the export button
    lblQtdeSolicitacoes = new TDBRowCount;
    lblQtdeSolicitacoes->setObjectName(QStringLiteral("lblQtdeSolicitacoes"));
    lblQtdeSolicitacoes->SetNouns(QStringLiteral("solicitação"),
                                  QStringLiteral("solicitações"));
    lblQtdeSolicitacoes->SetDataSource(dtsSoli);
    lblQtdeProdutos = new TDBRowCount;
    lblQtdeProdutos->setObjectName(QStringLiteral("lblQtdeProdutos"));
    lblQtdeProdutos->SetNouns(QStringLiteral("produto"), QStringLiteral("produtos"));
    lblQtdeProdutos->SetDataSource(dtsProd);
}

// Under the page's grids: what the colours of the order quantity mean, and
// how many requests and order products are shown.
void TfrmAcomPOL::buildLegend()
{
    panLegenda = new QWidget(tshFormulario);
    panLegenda->setObjectName(QStringLiteral("panLegenda"));
    auto *row = new QHBoxLayout(panLegenda);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("Quantidade do pedido:"), panLegenda));
    row->addWidget(swatch(QColor(255, 0, 0), panLegenda));
    row->addWidget(new QLabel(QStringLiteral("maior que o solicitado"), panLegenda));
    row->addSpacing(8);
    row->addWidget(swatch(QColor(0, 0, 255), panLegenda));
    row->addWidget(new QLabel(QStringLiteral("menor que o solicitado"), panLegenda));
    row->addSpacing(8);
    row->addWidget(swatch(SystemColors::clWindowText(), panLegenda));
    row->addWidget(new QLabel(QStringLiteral("igual"), panLegenda));
    row->addStretch(1);
    row->addWidget(lblQtdeSolicitacoes);
    row->addSpacing(12);
    row->addWidget(lblQtdeProdutos);
    if (auto *stack = qobject_cast<QBoxLayout *>(tshFormulario->layout()))
        stack->insertWidget(stack->indexOf(Splitter2) + 1, panLegenda);
}

void TfrmAcomPOL::buildNavigation()
{
    QMenu *menu = mnuMenu->addMenu(QStringLiteral("&Navegar"));
    menu->setObjectName(QStringLiteral("mnuNavegar"));
    auto add = [this, menu](const char *name, const QString &text, const QKeySequence &keys,
                            void (TfrmAcomPOL::*step)(int), int direction) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, step, direction] {
            SafeCall([this, step, direction] { (this->*step)(direction); });
        });
        return action;
    };
    const auto page = &TfrmAcomPOL::switchPage;
    const auto grid = &TfrmAcomPOL::focusGrid;
    mnuProximaPagina = add("mnuProximaPagina", QStringLiteral("Próxima página"),
                           QKeySequence(Qt::CTRL | Qt::Key_PageDown), page, 1);
    mnuPaginaAnterior = add("mnuPaginaAnterior", QStringLiteral("Página anterior"),
                            QKeySequence(Qt::CTRL | Qt::Key_PageUp), page, -1);
    mnuProximaGrade = add("mnuProximaGrade", QStringLiteral("Próxima grade"),
                          QKeySequence(Qt::Key_F6), grid, 1);
    mnuGradeAnterior = add("mnuGradeAnterior", QStringLiteral("Grade anterior"),
                           QKeySequence(Qt::SHIFT | Qt::Key_F6), grid, -1);
    addBranchCountsCommand(menu);
}

void TfrmAcomPOL::switchPage(int direction)
{
    const int count = pgcPadrao->count();
    pgcPadrao->setCurrentIndex((pgcPadrao->currentIndex() + direction + count) % count);
    focusGrid(0);
}

// 0: the first grid of the page; 1 / -1: the next or previous one, round.
void TfrmAcomPOL::focusGrid(int direction)
{
    const QList<TDBGrid *> grids = pgcPadrao->currentWidget() == tshFolhaDados
        ? QList<TDBGrid *>{dbgPadrao}
        : QList<TDBGrid *>{dbgSoli, dbgProd, dbgProdOL};
    int at = 0;
    for (int i = 0; i < grids.size(); ++i) {
        if (grids.at(i)->hasFocus())
            at = (i + direction + int(grids.size())) % int(grids.size());
    }
    grids.at(at)->setFocus(Qt::ShortcutFocusReason);
}

// Enter or a double click on a branch opens its requests.
void TfrmAcomPOL::openRequestPage()
{
    pgcPadrao->setCurrentWidget(tshFormulario);
    dbgSoli->setFocus(Qt::OtherFocusReason);
}

bool TfrmAcomPOL::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == dbgPadrao && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openRequestPage();
            return true;
        }
    }
    return TfrmPadrao::eventFilter(watched, event);
}

QStringList TfrmAcomPOL::ExtraLayoutLines() const
{
    const QList<int> weights = panelWeights();
    if (weights.size() != 3)
        return {};
    return {kSplitter1Key + QString::number(weights.at(0)),
            kProdKey + QString::number(weights.at(1)),
            kSplitter2Key + QString::number(weights.at(2))};
}

void TfrmAcomPOL::RestoreExtraLayout(const QStringList &lines)
{
    QList<int> weights = panelWeights();
    if (weights.size() != 3)
        return;
    const QLatin1String keys[] = {kSplitter1Key, kProdKey, kSplitter2Key};
    for (const QString &line : lines) {
        for (int i = 0; i < 3; ++i) {
            if (!line.startsWith(keys[i]))
                continue;
            bool ok = false;
            const int weight = line.mid(keys[i].size()).toInt(&ok);
            if (ok && weight >= kPanelMinimum && weight <= kWeightMaximum)
                weights[i] = weight;
        }
    }
    setPanelWeights(weights);
}
