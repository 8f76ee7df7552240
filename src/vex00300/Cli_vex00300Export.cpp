#include "Cli_vex00300Export.h"

#include "BranchSummarySheet.h"
#include "Cli_vex00300.h"
#include "CodedFields.h"

#include "OleDate.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/WaitAnimation.h"
#include "data/DataSetSheet.h"
#include "data/PacketPartsSheet.h"
#include "data/PacketSheet.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "forms/ExportDialog.h"
#include "net/TNetConnection.h"
#include "services/Consiste.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QDate>
#include <QMenu>
#include <QPainter>
#include <QTabWidget>

#include <algorithm>
#include <memory>

using namespace Cli_vex00300;

namespace {

enum Scope { GradeAtual, FilialAtual, TodaFiltragem };
constexpr int kProductCodeWidth = 20;
constexpr int kChainCallTimeoutMs = 30 * 60 * 1000; // a whole filtering at full scale

class WaitScope final
{
public:
    explicit WaitScope(QWidget *form) { ActiveShowAvi(form, saKind6); }
    ~WaitScope() { DeactiveShowAvi(); }
    WaitScope(const WaitScope &) = delete;
    WaitScope &operator=(const WaitScope &) = delete;
};

// The chain call may take long; the connection's own limit comes back after.
class CallTimeoutScope final
{
public:
    CallTimeoutScope(TNetConnection *net, int ms) : m_net(net), m_old(net->CallTimeoutMs())
    {
        m_net->SetCallTimeoutMs(std::max(ms, m_old));
    }
    ~CallTimeoutScope() { m_net->SetCallTimeoutMs(m_old); }
    CallTimeoutScope(const CallTimeoutScope &) = delete;
    CallTimeoutScope &operator=(const CallTimeoutScope &) = delete;

private:
    TNetConnection *m_net;
    int m_old;
};

QPixmap exportGlyph(const QColor &fill)
{
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0));
    painter.setBrush(fill);
    painter.drawRect(2, 2, 10, 13);
    painter.drawLine(4, 6, 10, 6);
    painter.drawLine(4, 9, 10, 9);
    const QPoint arrow[] = {{11, 8}, {15, 11}, {11, 14}};
    painter.drawPolygon(arrow, 3);
    return pixmap;
}

TDBGrid *focusedGrid(TfrmAcomPOL *w)
{
    const QWidget *focus = w->focusWidget();
    for (TDBGrid *grid : {w->dbgPadrao, w->dbgSoli, w->dbgProd, w->dbgProdOL}) {
        if (focus && (focus == grid || grid->isAncestorOf(focus)))
            return grid;
    }
    return w->pgcPadrao->currentWidget() == w->tshFolhaDados ? w->dbgPadrao : w->dbgSoli;
}

QString gridSheetName(TfrmAcomPOL *w, const TDBGrid *grid)
{
    if (grid == w->dbgPadrao)
        return QStringLiteral("Filial Solicitante");
    if (grid == w->dbgSoli)
        return QStringLiteral("Solicitação");
    if (grid == w->dbgProd)
        return QStringLiteral("Pedido OL");
    return QStringLiteral("Estoque OL");
}

bool hasRows(const TDBGrid *grid)
{
    const TClientDataSet *ds = grid->DataSource() ? grid->DataSource()->DataSet() : nullptr;
    return ds && ds->Active() && !ds->IsEmpty();
}

std::unique_ptr<ExportSheet> gridSheet(TfrmAcomPOL *w, TDBGrid *grid)
{
    QList<TField *> fields;
    for (const TColumn *column : grid->VisibleColumns()) {
        if (TField *field = column->Field())
            fields << field;
    }
    return std::make_unique<DataSetSheet>(gridSheetName(w, grid),
                                          grid->DataSource()->DataSet(), fields);
}

// Words as the window's grids show them, from the window's message table;
// the functions outlive this builder.
class ChainWords final
{
public:
    ChainWords(const TfrmAcomPOL *w, const TDataPacket &packet) : m_w(w), m_packet(packet) {}

    PacketSheet::Words coded(const QString &column, QString (*rule)(const QString &)) const
    {
        const int at = m_packet.columnIndex(column);
        return [w = m_w, at, rule](const QVariantList &row) {
            return w->msgPadrao.Msg(rule(row.at(at).toString()));
        };
    }
    // Settlement words only on a row that has an order line.
    PacketSheet::Words settlement(const QString &column) const
    {
        const int at = m_packet.columnIndex(column);
        const int line = m_packet.columnIndex(QStringLiteral("NRPEDEXOL"));
        return [w = m_w, at, line](const QVariantList &row) {
            if (row.at(line).isNull())
                return QString();
            return w->msgPadrao.Msg(CodedFields::settlementKey(row.at(at).toString()));
        };
    }
    // A direct delivery shows the window's text for it as operator.
    PacketSheet::Words operatorName() const
    {
        const int name = m_packet.columnIndex(QStringLiteral("NMFILIAL"));
        const int op = m_packet.columnIndex(QStringLiteral("CDFILIOPELOG"));
        return [w = m_w, name, op](const QVariantList &row) {
            if (row.at(op).toString().isEmpty())
                return w->msgPadrao.Msg(QStringLiteral("ED"));
            return row.at(name).isNull() ? QString() : row.at(name).toString();
        };
    }
    PacketSheet::Words comparison() const
    {
        const int at = m_packet.columnIndex(QStringLiteral("IDCOMPARA"));
        return [at](const QVariantList &row) {
            const QString code = row.at(at).toString();
            if (code == u"A")
                return QStringLiteral("Maior");
            if (code == u"B")
                return QStringLiteral("Menor");
            if (code == u"C")
                return QStringLiteral("Igual");
            return QString();
        };
    }

private:
    const TfrmAcomPOL *m_w;
    const TDataPacket &m_packet;
};

// Every column of the chain under the label the window gives its field;
// a title already taken by the request says it is the order's.
QList<PacketSheet::Column> chainColumns(const TfrmAcomPOL *w, const TDataPacket &packet)
{
    const ChainWords words(w, packet);
    QList<PacketSheet::Column> columns{
        {QStringLiteral("CDFILSOLI"), QStringLiteral("Filial Solicitante"), {}},
        {QStringLiteral("NMFILSOLI"), QStringLiteral("Nome da Filial"), {}}};
    QStringList titles{columns.at(0).title, columns.at(1).title};
    const auto add = [&](const QString &name, QString title, PacketSheet::Words f = {}) {
        if (titles.contains(title))
            title += QStringLiteral(" (Pedido)");
        titles << title;
        columns.append({name, title, std::move(f)});
    };
    for (const TField *f : w->cdsSoli->Fields()) {
        const QString name = f->FieldName();
        PacketSheet::Words rule;
        if (name == u"IDITMCONS")
            rule = words.coded(name, &CodedFields::itemConsolKey);
        else if (name == u"IDSOLIAPROV" || name == u"IDPEDIDOOL")
            rule = words.coded(name, &CodedFields::yesNoKey);
        else if (name == u"NRSEQUCONSOL")
            rule = words.coded(name, &CodedFields::consolidatedKey);
        else if (name == u"CDFILIOPELOG")
            rule = words.coded(name, &CodedFields::deliveryModeKey);
        else if (name == u"NMFILIAL")
            rule = words.operatorName();
        add(name, f->DisplayLabel(), rule);
    }
    for (const TField *f : w->cdsProd->Fields()) {
        const QString name = f->FieldName();
        // The server prefixes the order's columns that the request also has.
        const QString packetName =
            w->cdsSoli->FindField(name) ? QStringLiteral("PED_") + name : name;
        PacketSheet::Words rule;
        if (name == u"IDBAIXENPEOL" || name == u"IDBAIXAOLSAI")
            rule = words.settlement(name);
        add(packetName, f->DisplayLabel(), rule);
    }
    for (const TField *f : w->cdsProdOL->Fields())
        add(f->FieldName(), f->DisplayLabel());
    add(QStringLiteral("QTSOLIBASE"), QStringLiteral("Qtde. Solicitada (un. base)"));
    add(QStringLiteral("QTPEDIBASE"), QStringLiteral("Qtde. Pedida (un. base)"));
    add(QStringLiteral("QTDIFERENCA"), QStringLiteral("Diferença (un. base)"));
    add(QStringLiteral("IDCOMPARA"), QStringLiteral("Pedido x Solicitado"), words.comparison());
    return columns;
}

QString paddedProdFin()
{
    return stProdFin
        + Consiste::Replicate(QStringLiteral("Z"), kProductCodeWidth - stProdFin.size());
}

// The chain of the last confirmed criteria; of one branch when given.
TDataPacket chainPacket(TfrmAcomPOL *w, const QString &branch)
{
    const QString prodFin = paddedProdFin();
    TServerReply reply;
    {
        WaitScope wait(w);
        CallTimeoutScope timeout(w->netAcomPOL, kChainCallTimeoutMs);
        reply = rdmAcomPOL::GetCadeiaPedidos(
            *w->netAcomPOL, branch.isEmpty() ? stLFilSoli : branch,
            branch.isEmpty() ? stTFilSoli : QString(), stFilOL, DtEntrIni, DtEntrFin, stDtEntr,
            DtSolIni, DtSolFin, stDtSoli, stProdIni, prodFin, stProd, stListaConsol,
            stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido);
    }
    return Consiste::CheckResultServ(reply, true, 0);
}

std::unique_ptr<ExportSheet> chainSheet(TfrmAcomPOL *w, const QString &branch)
{
    TDataPacket packet = chainPacket(w, branch);
    const QList<PacketSheet::Column> columns = chainColumns(w, packet);
    const QString name = branch.isEmpty() ? QStringLiteral("Toda a filtragem")
                                          : QStringLiteral("Filial %1").arg(branch);
    return std::make_unique<PacketSheet>(name, std::move(packet), columns);
}

// The branches of the last confirmed criteria, asked again now: the chain
// of the whole filtering is theirs, in the server's order (by code).
QStringList filteredBranches(TfrmAcomPOL *w)
{
    const QString prodFin = paddedProdFin();
    WaitScope wait(w);
    const TDataPacket packet = Consiste::CheckResultServ(
        rdmAcomPOL::GetFiliSoliGrid(*w->netAcomPOL, stLFilSoli, stTFilSoli, stFilOL, DtEntrIni,
                                    DtEntrFin, stDtEntr, DtSolIni, DtSolFin, stDtSoli, stProdIni,
                                    prodFin, stProd, stListaConsol, stTodasConsol, stStatus,
                                    stItemConsol, stPedGerado, stQtdePedido),
        true, 0);
    const int code = packet.columnIndex(QStringLiteral("CDFILSOLI"));
    QStringList branches;
    for (const QVariantList &row : packet.rows)
        branches << row.at(code).toString();
    std::sort(branches.begin(), branches.end());
    return branches;
}

// The chain of the whole filtering, one branch's call at a time.
std::unique_ptr<ExportSheet> wholeFilteringSheet(TfrmAcomPOL *w)
{
    const QStringList branches = filteredBranches(w);
    if (branches.isEmpty())
        return chainSheet(w, {}); // its titles, and no row
    return std::make_unique<PacketPartsSheet>(
        QStringLiteral("Toda a filtragem"), int(branches.size()),
        [w, branches](int part) { return chainPacket(w, branches.at(part)); },
        [w](const TDataPacket &packet) { return chainColumns(w, packet); });
}

// The counts of every branch of the last confirmed criteria, on this day.
std::unique_ptr<ExportSheet> summarySheet(TfrmAcomPOL *w)
{
    WaitScope wait(w);
    const TDataPacket packet = Consiste::CheckResultServ(
        rdmAcomPOL::GetResumoFiliais(*w->netAcomPOL, stLFilSoli, stTFilSoli, stFilOL, DtEntrIni,
                                     DtEntrFin, stDtEntr, DtSolIni, DtSolFin, stDtSoli,
                                     stProdIni, paddedProdFin(), stProd, stListaConsol,
                                     stTodasConsol, stStatus, stItemConsol, stPedGerado,
                                     stQtdePedido, OleDate::fromDate(QDate::currentDate())),
        true, 0);
    return std::make_unique<BranchSummarySheet>(BranchSummary::fromPacket(packet));
}

} // namespace

namespace Cli_vex00300Export {

void install(TfrmAcomPOL *window)
{
    auto *action = new QAction(QStringLiteral("E&xportar..."), window);
    action->setObjectName(QStringLiteral("mnuExportar"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    const QList<QAction *> items = window->mnuManutencao->actions();
    const qsizetype after = items.indexOf(window->mnuOrdenar);
    window->mnuManutencao->insertAction(items.value(after + 1), action);

    auto *button = new TButtonFlat(window->panMenu);
    button->setObjectName(QStringLiteral("sbtExportar"));
    button->setGeometry(window->sbtFechar->x() + 36, window->sbtFechar->y(), 21, 21);
    button->setAutoRaise(true);
    button->SetHint(QStringLiteral("Exportar (Ctrl+E)"));
    QIcon glyph(exportGlyph(QColor(0, 160, 0)));
    glyph.addPixmap(exportGlyph(QColor(192, 192, 192)), QIcon::Disabled);
    button->setIcon(glyph);
    button->show();

    const auto run = [window] { SafeCall([window] { mnuExportarClick(window); }); };
    QObject::connect(action, &QAction::triggered, window, run);
    QObject::connect(button, &QToolButton::clicked, window, run);
}

void mnuExportarClick(TfrmAcomPOL *w)
{
    TDBGrid *grid = focusedGrid(w);
    const bool branches = w->cdsFilial->Active() && !w->cdsFilial->IsEmpty();
    const bool scopes[] = {hasRows(grid), branches, branches};
    if (!scopes[GradeAtual] && !scopes[FilialAtual]) {
        HostDisplays::showMessage(QStringLiteral("Não há dados para exportar."));
        return;
    }
    ExportDialog dialog(QStringLiteral("VEX00300"),
                        {QStringLiteral("Grade atual"), QStringLiteral("Filial atual"),
                         QStringLiteral("Toda a filtragem")},
                        w);
    for (int s = GradeAtual; s <= TodaFiltragem; ++s)
        dialog.setScopeEnabled(s, scopes[s]);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::unique_ptr<ExportSheet> sheet;
    std::unique_ptr<ExportSheet> summary; // a spreadsheet's first sheet, for the whole
    switch (dialog.scope()) {
    case GradeAtual: sheet = gridSheet(w, grid); break;
    case FilialAtual: sheet = chainSheet(w, w->cdsFilialCDFILSOLI->AsString()); break;
    default:
        if (dialog.format() == ExportFormat::Xlsx)
            summary = summarySheet(w);
        sheet = wholeFilteringSheet(w);
        break;
    }
    QList<ExportSheet *> sheets{sheet.get()};
    if (summary)
        sheets.prepend(summary.get());
    ExportProgressDialog::run(w, dialog.fileName(), dialog.format(), sheets);
}

} // namespace Cli_vex00300Export
