#pragma once

#include "TServerReply.h"

#include <QJsonArray>
#include <QString>

class TNetConnection;

// Calling side of the remote data module "VEX00300.rdmAcomPOL": one typed
// function per server method. Arguments travel positionally in the order of
// the server's signature; date-times as OLE day counts. Transport faults
// throw ENetError (see TNetConnection::Call); an error answer comes back as
// a reply with ok == false, for Consiste::CheckResultServ to raise.
namespace rdmAcomPOL {

inline constexpr const char *kServerName = "VEX00300.rdmAcomPOL";

// The eighteen criteria of GetFiliSoliGrid as they travel, in its order.
QJsonArray FiliSoliCriteria(const QString &stLFilSoli, const QString &stTFilSoli,
                            const QString &stFilOL, double DtEntrIni, double DtEntrFin,
                            const QString &stDtEntr, double DtSolIni, double DtSolFin,
                            const QString &stDtSoli, const QString &ProdIni,
                            const QString &ProdFin, const QString &stProd,
                            const QString &stListaConsol, const QString &stTodasConsol,
                            const QString &stStatus, const QString &stItemConsol,
                            const QString &stPedGerado, const QString &stQtdePedido);
TServerReply GetFiliSoliGrid(TNetConnection &net, const QJsonArray &criteria);
// GetResumoFiliais's name and params: the criteria of a branch list and the
// reference day, for a call made beside the window's (AsyncCall).
inline constexpr const char *kGetResumoFiliais = "GetResumoFiliais";
QJsonArray ResumoFiliaisParams(const QJsonArray &criteria, double DtRef);

// Requesting branches with matching requests (CDFILSOLI, NMFILIAL).
TServerReply GetFiliSoliGrid(TNetConnection &net, const QString &stLFilSoli,
                             const QString &stTFilSoli, const QString &stFilOL,
                             double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                             double DtSolIni, double DtSolFin, const QString &stDtSoli,
                             const QString &ProdIni, const QString &ProdFin,
                             const QString &stProd, const QString &stListaConsol,
                             const QString &stTodasConsol, const QString &stStatus,
                             const QString &stItemConsol, const QString &stPedGerado,
                             const QString &stQtdePedido);

// Every matching request item of every matching branch with its order lines
// and their stock, in one reply; the criteria of GetFiliSoliGrid.
TServerReply GetCadeiaPedidos(TNetConnection &net, const QString &stLFilSoli,
                              const QString &stTFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &ProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &stListaConsol,
                              const QString &stTodasConsol, const QString &stStatus,
                              const QString &stItemConsol, const QString &stPedGerado,
                              const QString &stQtdePedido);

// Per branch of GetFiliSoliGrid, the counts of its matching items by
// situation on the day DtRef (QTITENS, QTCONSOL, QTPEDIDO, QTMAIOR, ...).
TServerReply GetResumoFiliais(TNetConnection &net, const QString &stLFilSoli,
                              const QString &stTFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &ProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &stListaConsol,
                              const QString &stTodasConsol, const QString &stStatus,
                              const QString &stItemConsol, const QString &stPedGerado,
                              const QString &stQtdePedido, double DtRef);

// Matching purchase requests of one requesting branch.
TServerReply GetSoli(TNetConnection &net, const QString &cdFilSoli, const QString &stFilOL,
                     double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                     double DtSolIni, double DtSolFin, const QString &stDtSoli,
                     const QString &stProdIni, const QString &ProdFin, const QString &stProd,
                     const QString &textED, const QString &stListaConsol,
                     const QString &stTodasConsol, const QString &stStatus,
                     const QString &stItemConsol, const QString &stPedGerado,
                     const QString &stQtdePedido);

// GetSituacaoSoli's name and params: GetSoli's eighteen and the reference
// day, for a call made beside the window's (AsyncCall). Its rows: the
// situation of every request GetSoli lists for the same eighteen
// (NRSOLICMP, CDPRODUTO, IDSITUACAO: bits of ItemSituation).
inline constexpr const char *kGetSituacaoSoli = "GetSituacaoSoli";
QJsonArray SituacaoSoliParams(const QString &cdFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &stProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &textED,
                              const QString &stListaConsol, const QString &stTodasConsol,
                              const QString &stStatus, const QString &stItemConsol,
                              const QString &stPedGerado, const QString &stQtdePedido,
                              double DtRef);

// Order lines generated for one consolidated request.
TServerReply GetProd(TNetConnection &net, const QString &cdFilSoli, const QString &stFilOL,
                     double DtProgEntr, const QString &cdProdEsto,
                     const QString &stQtdePedido, const QString &nrSequConsol);

// Stock of one order product at the logistics operator.
TServerReply GetProdOL(TNetConnection &net, const QString &cdFilDest, const QString &cdFilLanc,
                       const QString &nrPedExOL, double DtProgEntr, const QString &cdProduto,
                       const QString &cdMarca, const QString &stFilOL, double DtProgEmbarq);

// Logistics-operator branches (CDFILIOPELOG, NMFILIAL).
TServerReply GetFiliOL(TNetConnection &net);
// The operator branch with that code (no row: not registered).
TServerReply GetVdFiliOL(TNetConnection &net, const QString &cdFilOL);
// Branches served by the operator, for the multi-selection.
TServerReply GetPesqFilial(TNetConnection &net, const QString &cdFilOL);
// Consolidation runs of the operator within the date criteria.
TServerReply GetPesqConsol(TNetConnection &net, const QString &cdFilOL, double DtEntrIni,
                           double DtEntrFin, const QString &stDtEntr, double DtSolIni,
                           double DtSolFin, const QString &stDtSoli);

} // namespace rdmAcomPOL
