#include "rdmAcomPOL.h"

#include "net/TNetConnection.h"

#include <QJsonArray>

namespace rdmAcomPOL {

QJsonArray FiliSoliCriteria(const QString &stLFilSoli, const QString &stTFilSoli,
                            const QString &stFilOL, double DtEntrIni, double DtEntrFin,
                            const QString &stDtEntr, double DtSolIni, double DtSolFin,
                            const QString &stDtSoli, const QString &ProdIni,
                            const QString &ProdFin, const QString &stProd,
                            const QString &stListaConsol, const QString &stTodasConsol,
                            const QString &stStatus, const QString &stItemConsol,
                            const QString &stPedGerado, const QString &stQtdePedido)
{
    return {stLFilSoli, stTFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni,
            DtSolFin, stDtSoli, ProdIni, ProdFin, stProd, stListaConsol, stTodasConsol,
            stStatus, stItemConsol, stPedGerado, stQtdePedido};
}

TServerReply GetFiliSoliGrid(TNetConnection &net, const QJsonArray &criteria)
{
    return net.Call(QStringLiteral("GetFiliSoliGrid"), criteria);
}

QJsonArray ResumoFiliaisParams(const QJsonArray &criteria, double DtRef)
{
    QJsonArray params = criteria;
    params.append(DtRef);
    return params;
}

TServerReply GetFiliSoliGrid(TNetConnection &net, const QString &stLFilSoli,
                             const QString &stTFilSoli, const QString &stFilOL,
                             double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                             double DtSolIni, double DtSolFin, const QString &stDtSoli,
                             const QString &ProdIni, const QString &ProdFin,
                             const QString &stProd, const QString &stListaConsol,
                             const QString &stTodasConsol, const QString &stStatus,
                             const QString &stItemConsol, const QString &stPedGerado,
                             const QString &stQtdePedido)
{
    return GetFiliSoliGrid(net, FiliSoliCriteria(stLFilSoli, stTFilSoli, stFilOL, DtEntrIni,
                                                 DtEntrFin, stDtEntr, DtSolIni, DtSolFin,
                                                 stDtSoli, ProdIni, ProdFin, stProd,
                                                 stListaConsol, stTodasConsol, stStatus,
                                                 stItemConsol, stPedGerado, stQtdePedido));
}

TServerReply GetCadeiaPedidos(TNetConnection &net, const QString &stLFilSoli,
                              const QString &stTFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &ProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &stListaConsol,
                              const QString &stTodasConsol, const QString &stStatus,
                              const QString &stItemConsol, const QString &stPedGerado,
                              const QString &stQtdePedido)
{
    const QJsonArray params = FiliSoliCriteria(
        stLFilSoli, stTFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni, DtSolFin,
        stDtSoli, ProdIni, ProdFin, stProd, stListaConsol, stTodasConsol, stStatus,
        stItemConsol, stPedGerado, stQtdePedido);
    return net.Call(QStringLiteral("GetCadeiaPedidos"), params);
}

TServerReply GetResumoFiliais(TNetConnection &net, const QString &stLFilSoli,
                              const QString &stTFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &ProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &stListaConsol,
                              const QString &stTodasConsol, const QString &stStatus,
                              const QString &stItemConsol, const QString &stPedGerado,
                              const QString &stQtdePedido, double DtRef)
{
    const QJsonArray params = ResumoFiliaisParams(
        FiliSoliCriteria(stLFilSoli, stTFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr,
                         DtSolIni, DtSolFin, stDtSoli, ProdIni, ProdFin, stProd, stListaConsol,
                         stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido),
        DtRef);
    return net.Call(QLatin1String(kGetResumoFiliais), params);
}

TServerReply GetSoli(TNetConnection &net, const QString &cdFilSoli, const QString &stFilOL,
                     double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                     double DtSolIni, double DtSolFin, const QString &stDtSoli,
                     const QString &stProdIni, const QString &ProdFin, const QString &stProd,
                     const QString &textED, const QString &stListaConsol,
                     const QString &stTodasConsol, const QString &stStatus,
                     const QString &stItemConsol, const QString &stPedGerado,
                     const QString &stQtdePedido)
{
    const QJsonArray params{cdFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni,
                            DtSolFin, stDtSoli, stProdIni, ProdFin, stProd, textED,
                            stListaConsol, stTodasConsol, stStatus, stItemConsol,
                            stPedGerado, stQtdePedido};
    return net.Call(QStringLiteral("GetSoli"), params);
}

QJsonArray SituacaoSoliParams(const QString &cdFilSoli, const QString &stFilOL,
                              double DtEntrIni, double DtEntrFin, const QString &stDtEntr,
                              double DtSolIni, double DtSolFin, const QString &stDtSoli,
                              const QString &stProdIni, const QString &ProdFin,
                              const QString &stProd, const QString &textED,
                              const QString &stListaConsol, const QString &stTodasConsol,
                              const QString &stStatus, const QString &stItemConsol,
                              const QString &stPedGerado, const QString &stQtdePedido,
                              double DtRef)
{
    return {cdFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni, DtSolFin, stDtSoli,
            stProdIni, ProdFin, stProd, textED, stListaConsol, stTodasConsol, stStatus,
            stItemConsol, stPedGerado, stQtdePedido, DtRef};
}

TServerReply GetProd(TNetConnection &net, const QString &cdFilSoli, const QString &stFilOL,
                     double DtProgEntr, const QString &cdProdEsto,
                     const QString &stQtdePedido, const QString &nrSequConsol)
{
    const QJsonArray params{cdFilSoli, stFilOL, DtProgEntr, cdProdEsto, stQtdePedido,
                            nrSequConsol};
    return net.Call(QStringLiteral("GetProd"), params);
}

TServerReply GetProdOL(TNetConnection &net, const QString &cdFilDest, const QString &cdFilLanc,
                       const QString &nrPedExOL, double DtProgEntr, const QString &cdProduto,
                       const QString &cdMarca, const QString &stFilOL, double DtProgEmbarq)
{
    const QJsonArray params{cdFilDest, cdFilLanc, nrPedExOL, DtProgEntr, cdProduto,
                            cdMarca, stFilOL, DtProgEmbarq};
    return net.Call(QStringLiteral("GetProdOL"), params);
}

TServerReply GetFiliOL(TNetConnection &net)
{
    return net.Call(QStringLiteral("GetFiliOL"), QJsonArray());
}

TServerReply GetVdFiliOL(TNetConnection &net, const QString &cdFilOL)
{
    return net.Call(QStringLiteral("GetVdFiliOL"), QJsonArray{cdFilOL});
}

TServerReply GetPesqFilial(TNetConnection &net, const QString &cdFilOL)
{
    return net.Call(QStringLiteral("GetPesqFilial"), QJsonArray{cdFilOL});
}

TServerReply GetPesqConsol(TNetConnection &net, const QString &cdFilOL, double DtEntrIni,
                           double DtEntrFin, const QString &stDtEntr, double DtSolIni,
                           double DtSolFin, const QString &stDtSoli)
{
    const QJsonArray params{cdFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni, DtSolFin,
                            stDtSoli};
    return net.Call(QStringLiteral("GetPesqConsol"), params);
}

} // namespace rdmAcomPOL
