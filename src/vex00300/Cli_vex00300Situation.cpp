// Where to act on page "Solicitação": each request's situation in a column,
// a quick filter by situation above the grid, and negative stock in red.
// The situations are asked for in the background, once per branch shown on
// this page, never while the clerk moves through page 1.
#include "Cli_vex00300.h"

#include "OleDate.h"
#include "VexErrors.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "net/AsyncCall.h"
#include "net/CallWait.h"
#include "services/Consiste.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDate>
#include <QFontMetrics>
#include <QLabel>
#include <QLoggingCategory>
#include <QJsonArray>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTabWidget>

Q_DECLARE_LOGGING_CATEGORY(lcAcomPOL)

using namespace Cli_vex00300;

namespace {
constexpr int kProductCodeWidth = 20;
constexpr int kTextMargin = 2; // as the grid's own drawing
const QLatin1String kSituationColumn("SITUACAO");
constexpr int kSituationWidth = 300; // "Igual, Embarque vencido, Estoque negativo"

QString paddedFinalProduct(const QString &code)
{
    return code + Consiste::Replicate(QStringLiteral("Z"), kProductCodeWidth - code.size());
}
} // namespace

void TfrmAcomPOL::buildSituation()
{
    TColumn *column = dbgSoli->AddColumn(kSituationColumn, kSituationWidth);
    column->Title = QStringLiteral("Situação");
    column->Alignment = Qt::AlignLeft | Qt::AlignVCenter; // words, read from the left
    column->CalcText = [this](const TClientDataSet *ds, int row) {
        const std::optional<int> bits = situationOf(ds, row);
        return bits ? RequestSituations::text(*bits) : QString();
    };
    column->CalcValue = [this](const TClientDataSet *ds, int row) {
        const std::optional<int> bits = situationOf(ds, row);
        return bits ? QVariant(RequestSituations::text(*bits)) : QVariant();
    };
    dbgSoli->RefreshColumns();

    panSituacao = new QWidget(tshFormulario);
    panSituacao->setObjectName(QStringLiteral("panSituacao"));
    auto *row = new QHBoxLayout(panSituacao);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(new QLabel(QStringLiteral("Situação:"), panSituacao));
    cbxSituacao = new QComboBox(panSituacao);
    cbxSituacao->setObjectName(QStringLiteral("cbxSituacao"));
    cbxSituacao->addItems(RequestSituations::filterTitles());
    cbxSituacao->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbxSituacao->setToolTip(QStringLiteral("Mostra só as solicitações nesta situação (Alt+S)"));
    row->addWidget(cbxSituacao);
    lblSituacaoNota = new QLabel(panSituacao);
    lblSituacaoNota->setObjectName(QStringLiteral("lblSituacaoNota"));
    lblSituacaoNota->setStyleSheet(QStringLiteral("color: #a00000;"));
    row->addWidget(lblSituacaoNota, 1);
    if (auto *stack = qobject_cast<QBoxLayout *>(tshFormulario->layout()))
        stack->insertWidget(0, panSituacao);
    setTabOrder(cbxSituacao, dbgSoli);

    if (auto *menu = mnuMenu->findChild<QMenu *>(QStringLiteral("mnuNavegar"))) {
        mnuSituacao = menu->addAction(QStringLiteral("Situação das solicitações"));
        mnuSituacao->setObjectName(QStringLiteral("mnuSituacao"));
        mnuSituacao->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
        connect(mnuSituacao, &QAction::triggered, this, [this] {
            SafeCall([this] {
                openRequestPage();
                cbxSituacao->setFocus(Qt::ShortcutFocusReason);
            });
        });
    }

    connect(cbxSituacao, &QComboBox::currentIndexChanged, this,
            [this] { SafeCall([this] { applySituationFilter(); }); });
    connect(cdsSoli, &TClientDataSet::stateChanged, this, [this](TDataSetState state) {
        if (state == TDataSetState::dsBrowse)
            requestsReloaded();
    });
    connect(pgcPadrao, &QTabWidget::currentChanged, this, &TfrmAcomPOL::ensureSituations);
    connect(dbgSoli, &TDBGrid::layoutChanged, this, &TfrmAcomPOL::ensureSituations);
    dbgProdOL->OnDrawColumnCell = [this](TDBGrid *grid, TCanvas &canvas, const QRect &rect,
                                         int col, TColumn *column, TGridDrawState state) {
        dbgProdOLDrawColumnCell(grid, canvas, rect, col, column, state);
    };
}

void TfrmAcomPOL::OpenRequestsFiltered(RequestSituation situation)
{
    openRequestPage();
    {
        const QSignalBlocker quiet(cbxSituacao);
        cbxSituacao->setCurrentIndex(int(situation));
    }
    applySituationFilter();
}

void TfrmAcomPOL::resetSituationFilter()
{
    if (!cbxSituacao)
        return;
    {
        const QSignalBlocker quiet(cbxSituacao);
        cbxSituacao->setCurrentIndex(int(RequestSituation::All));
    }
    cdsSoli->SetFilter({});
}

// Runs inside the load: what was known or asked of the rows before is
// dropped, and asked again if the page wants it.
void TfrmAcomPOL::requestsReloaded()
{
    delete m_situationsCall.data();
    ++m_situationsAsked;
    m_situationsCurrent = false;
    showSituationCounts(false);
    ensureSituations();
}

bool TfrmAcomPOL::wantsSituations() const
{
    if (cbxSituacao->currentIndex() != int(RequestSituation::All))
        return true;
    for (const TColumn *column : dbgSoli->VisibleColumns()) {
        if (column->FieldName == kSituationColumn)
            return true;
    }
    return false;
}

void TfrmAcomPOL::ensureSituations()
{
    if (m_situationsCurrent || pgcPadrao->currentWidget() != tshFormulario
        || !cdsSoli->Active() || !cdsFilial->Active() || cdsFilial->IsEmpty()
        || !wantsSituations())
        return;
    askSituations();
}

void TfrmAcomPOL::askSituations()
{
    m_situationsCurrent = true;
    m_situations.clear();
    lblSituacaoNota->clear();
    const QString branch = cdsFilialCDFILSOLI->AsString();
    qCDebug(lcAcomPOL) << "GetSituacaoSoli" << branch;
    const QJsonArray params = rdmAcomPOL::SituacaoSoliParams(
        branch, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni, DtSolFin, stDtSoli,
        stProdIni, paddedFinalProduct(stProdFin), stProd, msgPadrao.Msg(QStringLiteral("ED")),
        stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido,
        OleDate::fromDate(QDate::currentDate()));
    auto *call = new AsyncCall(*netAcomPOL, QLatin1String(rdmAcomPOL::kGetSituacaoSoli), params,
                               this);
    m_situationsCall = call;
    connect(call, &AsyncCall::finished, this,
            [this, call, asked = m_situationsAsked](const TServerReply &reply) {
        call->deleteLater();
        // Never inside another call's wait: refiltering moves the rows and
        // may fetch the levels below.
        CallWait::afterWait(this, [this, asked, reply] {
            if (asked == m_situationsAsked)
                SafeCall([this, reply] { situationsArrived(reply); });
        });
    });
}

// A failure leaves the situations unknown with a note beside the filter,
// never an error box. F5 asks again.
void TfrmAcomPOL::situationsArrived(const TServerReply &reply)
{
    m_situationsCall = nullptr;
    bool known = false;
    try {
        m_situations.load(Consiste::CheckResultServ(reply, true, 0));
        known = true;
    } catch (const EVexError &e) {
        m_situations.clear();
        lblSituacaoNota->setText(
            QStringLiteral("Situação das solicitações indisponível (F5 tenta de novo): %1")
                .arg(e.message()));
    }
    showSituationCounts(known);
    if (cdsSoli->SortField() == kSituationColumn)
        cdsSoli->Resort();
    if (!cdsSoli->Filtered()) {
        dbgSoli->viewport()->update();
        return;
    }
    cdsSoli->Refilter();
    if (cdsSoli->IsEmpty())
        closeLowerLevels();
}

void TfrmAcomPOL::applySituationFilter()
{
    const auto situation = RequestSituation(cbxSituacao->currentIndex());
    ensureSituations();
    if (situation == RequestSituation::All) {
        cdsSoli->SetFilter({});
    } else {
        cdsSoli->SetFilter([this, situation](TClientDataSet *) {
            const std::optional<int> bits = m_situations.bits(cdsSoliNRSOLICMP->AsString(),
                                                              cdsSoliCDPRODUTO->AsString());
            return bits && RequestSituations::matches(*bits, situation);
        });
    }
    // No request left on show: nothing below may stay from the last one.
    if (cdsSoli->IsEmpty())
        closeLowerLevels();
}

// Each choice says how many of the branch's requests it would show.
void TfrmAcomPOL::showSituationCounts(bool known)
{
    const QStringList titles = RequestSituations::filterTitles();
    for (int i = 1; i < titles.size(); ++i) {
        const int n = m_situations.count(RequestSituation(i));
        cbxSituacao->setItemText(i, known ? QStringLiteral("%1 (%2)").arg(titles.at(i)).arg(n)
                                          : titles.at(i));
    }
}

std::optional<int> TfrmAcomPOL::situationOf(const TClientDataSet *ds, int row) const
{
    return m_situations.bits(ds->RawValue(row, cdsSoliNRSOLICMP->Index()).toString(),
                             ds->RawValue(row, cdsSoliCDPRODUTO->Index()).toString());
}

// Stock the operator has reserved beyond what it holds stands out in red;
// a selected cell keeps the highlight's colours.
void TfrmAcomPOL::dbgProdOLDrawColumnCell(TDBGrid *, TCanvas &canvas, const QRect &rect, int,
                                          TColumn *column, TGridDrawState state)
{
    if (!column || column->FieldName != QLatin1String("ESTOQ_DISPO")
        || state.testFlag(TGridDrawStateFlag::gdSelected) || cdsProdOLESTOQ_DISPO->IsNull()
        || cdsProdOLESTOQ_DISPO->AsFloat() >= 0)
        return;
    canvas.FillRect(rect);
    canvas.Font.Color = QColor(255, 0, 0);
    const QFontMetrics metrics(canvas.Font.Font, canvas.painter()->device());
    const int room = rect.width() - 2 * kTextMargin;
    const QString text =
        metrics.elidedText(cdsProdOLESTOQ_DISPO->DisplayText(), Qt::ElideRight, room);
    canvas.TextOut(rect.left() + kTextMargin + room - metrics.horizontalAdvance(text),
                   rect.top() + kTextMargin, text);
    if (state.testFlag(TGridDrawStateFlag::gdFocused))
        canvas.DrawFocusRect(rect);
}
