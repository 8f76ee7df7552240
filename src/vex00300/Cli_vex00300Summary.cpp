// The branches' counts on page "Filial Solicitante": asked beside the
// window's own calls once the branch list is in, shown as columns, a bar
// and a totals line when they arrive.
#include "Cli_vex00300.h"

#include "BranchSummary.h"
#include "BranchTotalsBar.h"
#include "SituationBar.h"

#include "OleDate.h"
#include "VexErrors.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "net/AsyncCall.h"
#include "net/CallWait.h"
#include "net/TNetConnection.h"

#include <QBoxLayout>
#include <QDate>
#include <QLocale>
#include <QLoggingCategory>
#include <QMenu>
#include <QPainter>

#include <algorithm>

Q_LOGGING_CATEGORY(lcBranchCounts, "vex.vex00300.counts", QtInfoMsg)

namespace {
const QLatin1String kSituationColumn("SITUACAO");
constexpr int kNameWidth = 240;
constexpr int kCountWidth = 64;
constexpr int kSituationWidth = 150;

QString countText(qint64 n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

const CountColumn *countColumnNamed(const QString &name)
{
    for (const CountColumn &column : countColumns()) {
        if (name == QLatin1String(column.name))
            return &column;
    }
    return nullptr;
}
} // namespace

// The grid's name column makes room for the counts after it.
void TfrmAcomPOL::buildBranchCounts()
{
    dbgPadrao->Columns().at(1)->Width = kNameWidth;
    for (const CountColumn &count : countColumns()) {
        TColumn *column = dbgPadrao->AddColumn(QLatin1String(count.name), kCountWidth);
        column->Title = QString::fromUtf8(count.title);
        column->CalcValue = [this, c = count.count](const TClientDataSet *ds, int row) {
            const BranchCounts *counts = branchCounts(ds, row);
            return counts ? QVariant((*counts)[c]) : QVariant();
        };
        column->CalcText = [this, c = count.count](const TClientDataSet *ds, int row) {
            const BranchCounts *counts = branchCounts(ds, row);
            return counts ? countText((*counts)[c]) : QString();
        };
    }
    TColumn *situation = dbgPadrao->AddColumn(kSituationColumn, kSituationWidth);
    situation->Title = QStringLiteral("Situação");
    situation->CalcValue = [this](const TClientDataSet *ds, int row) {
        // By what is still to be done: the share of items without an order.
        const BranchCounts *counts = branchCounts(ds, row);
        if (!counts || (*counts)[BranchCounts::Items] == 0)
            return QVariant();
        return QVariant(double(counts->withoutOrder()) / double((*counts)[BranchCounts::Items]));
    };
    dbgPadrao->RefreshColumns();
    dbgPadrao->OnDrawColumnCell = [this](TDBGrid *, TCanvas &canvas, const QRect &rect, int,
                                         TColumn *column, TGridDrawState state) {
        dbgPadraoDrawColumnCell(canvas, rect, column, state);
    };
    dbgPadrao->OnCellHint = [this](TDBGrid *, TColumn *column) {
        const BranchCounts *counts = column && !column->Field()
            ? branchCounts(cdsFilial, cdsFilial->ActiveRecord())
            : nullptr;
        return counts ? BranchSummary::hint(*counts) : QString();
    };

    panTotais = new BranchTotalsBar(dbgPadrao, panDbgPadrao);
    panTotais->OnPaintCell = [this](QPainter &painter, const QString &column, const QRect &r) {
        if (column == kSituationColumn && m_branchSummary && !m_branchSummary->isEmpty())
            SituationBar::paint(painter, r, m_branchSummary->total());
    };
    if (auto *layout = qobject_cast<QBoxLayout *>(panDbgPadrao->layout())) {
        layout->addWidget(panTotais);
        layout->addWidget(SituationBar::legend(panDbgPadrao));
    }
    // Counts belong to the list they were asked for: closing it (a reload
    // closes first) drops them, and any answer still on its way.
    connect(cdsFilial, &TClientDataSet::stateChanged, this, [this](TDataSetState state) {
        if (state == TDataSetState::dsInactive)
            dropBranchCounts();
    });
}

// The code and name alone, or with the counts, from the menu or the
// header's menu; the choice is kept with the grid's layout.
void TfrmAcomPOL::addBranchCountsCommand(QMenu *menu)
{
    menu->addSeparator();
    mnuContagens = menu->addAction(QStringLiteral("&Contagens por situação"));
    mnuContagens->setObjectName(QStringLiteral("mnuContagens"));
    mnuContagens->setCheckable(true);
    connect(menu, &QMenu::aboutToShow, this,
            [this] { mnuContagens->setChecked(branchCountsShown()); });
    // By what the grid shows, whatever the mark said: a restored layout may
    // have hidden them meanwhile.
    connect(mnuContagens, &QAction::triggered, this, [this] {
        showBranchCounts(!branchCountsShown());
        mnuContagens->setChecked(branchCountsShown());
    });
    dbgPadrao->OnHeaderMenu = [this](QMenu &header) {
        mnuContagens->setChecked(branchCountsShown());
        header.addAction(mnuContagens);
    };
}

bool TfrmAcomPOL::branchCountsShown() const
{
    const QList<TColumn *> columns = dbgPadrao->Columns();
    return std::any_of(columns.cbegin(), columns.cend(), [this](const TColumn *c) {
        return !c->Field() && !dbgPadrao->isColumnHidden(int(dbgPadrao->Columns().indexOf(c)));
    });
}

void TfrmAcomPOL::showBranchCounts(bool shown)
{
    for (TColumn *column : dbgPadrao->Columns()) {
        if (!column->Field())
            column->UserVisible = shown;
    }
    dbgPadrao->RefreshColumns();
    LayoutChanged();
}

const BranchCounts *TfrmAcomPOL::branchCounts(const TClientDataSet *dataSet, int row) const
{
    if (!m_branchSummary)
        return nullptr;
    const QVariant code = dataSet->RawValue(row, cdsFilialCDFILSOLI->Index());
    return m_branchSummary->find(code.toString());
}

void TfrmAcomPOL::dbgPadraoDrawColumnCell(TCanvas &canvas, const QRect &rect, TColumn *column,
                                          TGridDrawState state)
{
    if (!column || column->Field())
        return;
    const BranchCounts *counts = branchCounts(cdsFilial, cdsFilial->ActiveRecord());
    if (!counts)
        return;
    QPainter &painter = *canvas.painter();
    if (column->FieldName == kSituationColumn) {
        SituationBar::paint(painter, rect, *counts);
        return;
    }
    const CountColumn *count = countColumnNamed(column->FieldName);
    if (!count || !count->alert || (*counts)[count->count] == 0)
        return;
    // An alert above zero: bold on a warm ground, unless the cell is lit.
    const bool lit = state.testFlag(TGridDrawStateFlag::gdSelected);
    if (!lit)
        painter.fillRect(rect, SituationBar::alertBackground());
    QFont bold = canvas.Font.Font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(lit ? canvas.Font.Color : SituationBar::alertText());
    painter.drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
                     countText((*counts)[count->count]));
}

void TfrmAcomPOL::AskBranchCounts(const QJsonArray &criteria)
{
    dropBranchCounts();
    if (!cdsFilial->Active() || cdsFilial->IsEmpty())
        return;
    const QJsonArray params = rdmAcomPOL::ResumoFiliaisParams(
        criteria, OleDate::fromDate(QDate::currentDate()));
    m_countsCall = new AsyncCall(*netAcomPOL, QLatin1String(rdmAcomPOL::kGetResumoFiliais),
                                 params, this);
    AsyncCall *call = m_countsCall;
    connect(call, &AsyncCall::finished, this,
            [this, call, asked = m_countsAsked](const TServerReply &reply) {
        call->deleteLater();
        // Never inside another call's wait: the handler waiting may be in
        // the middle of moving the rows this would re-sort.
        CallWait::afterWait(this, [this, asked, reply] {
            if (asked == m_countsAsked)
                branchCountsArrived(reply);
        });
    });
}

void TfrmAcomPOL::dropBranchCounts()
{
    delete m_countsCall.data();
    ++m_countsAsked;
    m_branchSummary.reset();
    panTotais->setTotals({}, {});
    panTotais->setNote({});
    dbgPadrao->viewport()->update();
}

void TfrmAcomPOL::branchCountsArrived(const TServerReply &reply)
{
    m_countsCall = nullptr;
    try {
        if (!reply.ok)
            throw EVexError(reply.errorMessage);
        m_branchSummary = std::make_unique<BranchSummary>(
            BranchSummary::fromPacket(TDataPacket::fromJson(reply.result)));
    } catch (const EVexError &error) {
        qCWarning(lcBranchCounts).noquote() << "branch counts not shown:" << error.message();
        panTotais->setNote(QStringLiteral("Contagens por filial indisponíveis: %1")
                               .arg(error.message()));
        return;
    }
    const BranchCounts total = m_branchSummary->total();
    QHash<QString, QString> texts;
    for (const CountColumn &column : countColumns())
        texts.insert(QLatin1String(column.name), countText(total[column.count]));
    panTotais->setTotals(QStringLiteral("Total"), texts);
    if (dbgPadrao->Columns().size() > 0 && !cdsFilial->SortField().isEmpty()
        && !cdsFilial->FindField(cdsFilial->SortField()))
        cdsFilial->Resort();
    dbgPadrao->viewport()->update();
}
