// The server's request line: the JSON-RPC parser, then every argument check
// of the method named (count, types, sizes, switches, code lists, dates)
// and the SQL text the criteria shape, whose '?' count must match its binds;
// and the PROXY header a balancer sends before it.
#include "Criteria.h"
#include "JsonRpc.h"
#include "ProxyHeader.h"
#include "RdmAcomPOL.h"
#include "SelectionSql.h"
#include "VexErrors.h"

#include <QByteArrayView>
#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

void checkStatement(const SqlStatement &st)
{
    qsizetype marks = 0;
    bool quoted = false;
    for (QChar c : st.text) {
        if (c == u'\'')
            quoted = !quoted;
        else if (c == u'?' && !quoted)
            ++marks;
    }
    if (marks != st.binds.size())
        std::abort(); // a text the binds do not fill
}

RawCriteria raw(const CallArgs &a)
{
    RawCriteria r;
    r.filOL = a.text("stFilOL");
    r.entrIni = a.date("DtEntrIni");
    r.entrFin = a.date("DtEntrFin");
    r.stDtEntr = a.text("stDtEntr");
    r.solIni = a.date("DtSolIni");
    r.solFin = a.date("DtSolFin");
    r.stDtSoli = a.text("stDtSoli");
    r.prodIni = a.text("stProdIni");
    r.prodFin = a.text("stProdFin");
    r.stProd = a.text("stProd");
    r.listaConsol = a.text("stListaConsol");
    r.todasConsol = a.text("stTodasConsol");
    r.status = a.text("stStatus");
    r.itemConsol = a.text("stItemConsol");
    r.pedGerado = a.text("stPedGerado");
    r.qtdePedido = a.text("stQtdePedido");
    return r;
}

void checkArguments(const RdmAcomPOL::Method &method, const QJsonArray &params)
{
    RdmAcomPOL::checkParams(method, params);
    const CallArgs a(method.params, params);
    if (method.name == u"GetFiliSoliGrid") {
        RawCriteria r = raw(a);
        r.lFilSoli = a.text("stLFilSoli");
        r.tFilSoli = a.text("stTFilSoli");
        checkStatement(SelectionSql::filiSoliGrid(Criteria::fromRaw(r)));
    } else if (method.name == u"GetSoli") {
        RawCriteria r = raw(a);
        r.tFilSoli = QStringLiteral("T");
        checkStatement(SelectionSql::soli(a.text("CDFILSOLI"), Criteria::fromRaw(r)));
    } else if (method.name == u"GetPesqConsol") {
        using namespace CriteriaCheck;
        Criteria d;
        d.entrIni = dayText(QStringLiteral("DtEntrIni"), a.date("DtEntrIni"));
        d.entrFin = dayText(QStringLiteral("DtEntrFin"), a.date("DtEntrFin"));
        d.allDtEntr = isOpenSwitch(QStringLiteral("stDtEntr"), a.text("stDtEntr"));
        d.solIni = dayText(QStringLiteral("DtSolIni"), a.date("DtSolIni"));
        d.solFin = dayText(QStringLiteral("DtSolFin"), a.date("DtSolFin"));
        d.allDtSoli = isOpenSwitch(QStringLiteral("stDtSoli"), a.text("stDtSoli"));
        checkStatement(SelectionSql::pesqConsol(a.text("CDFILIOPELOG"), d));
    } else if (method.name == u"GetProd") {
        CriteriaCheck::oneOf(QStringLiteral("stQtdePedido"), a.text("stQtdePedido"),
                             QStringLiteral("ABCDEFT"));
    }
}

void checkProxyHeader(QByteArrayView bytes)
{
    const ProxyHeader::Parse p = ProxyHeader::parse(bytes);
    switch (p.state) {
    case ProxyHeader::Parse::State::Complete:
        if (p.length <= 0 || p.length > bytes.size() || p.length > ProxyHeader::MaxBytes)
            std::abort(); // more taken than there is, or than allowed
        break;
    case ProxyHeader::Parse::State::Invalid:
        if (p.reason.isEmpty())
            std::abort();
        break;
    case ProxyHeader::Parse::State::Incomplete:
        if (bytes.size() >= ProxyHeader::MaxBytes)
            std::abort(); // would wait for ever
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char *>(data), qsizetype(size));
    checkProxyHeader(line);
    const JsonRpc::RequestParse parsed = JsonRpc::parseRequest(line);
    if (!parsed.ok) {
        if (parsed.errorMessage.isEmpty())
            std::abort(); // every refusal says why
        return 0;
    }
    const QString prefix = RdmAcomPOL::ServerName + u'.';
    const QString &name = parsed.request.method;
    // Any method name: the table's, or the argument checks of each method
    // on whatever params came.
    const RdmAcomPOL::Method *method = name.startsWith(prefix)
        ? RdmAcomPOL::findMethod(QStringView(name).mid(prefix.size()))
        : nullptr;
    const QList<RdmAcomPOL::Method> &all = RdmAcomPOL::methods();
    if (!method && !all.isEmpty())
        method = &all.at(qsizetype(size % size_t(all.size())));
    try {
        checkArguments(*method, parsed.request.params);
    } catch (const EVexError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
    // The code-list and date checks on their own, on the raw bytes.
    try {
        CriteriaCheck::codeList(QStringLiteral("x"), QString::fromUtf8(line), 15);
    } catch (const EVexError &) {
    }
    if (size >= sizeof(double)) {
        double d;
        memcpy(&d, data, sizeof d);
        try {
            const QString day = CriteriaCheck::dayText(QStringLiteral("d"), d);
            if (day.size() != 10)
                std::abort();
        } catch (const EVexError &) {
        }
    }
    return 0;
}
