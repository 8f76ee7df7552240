#include "Criteria.h"

#include "ServerErrors.h"

#include <QDate>

#include <cmath>

namespace {
constexpr int FilialCodeSize = 4;
constexpr int ConsolCodeSize = 15;
// OLE day numbers of 0100-01-01 and 9999-12-31: the range a date edit can hold.
constexpr double FirstOleDay = -657434;
constexpr double LastOleDay = 2958465;

bool isCodeChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

QString quoted(const QString &value)
{
    constexpr int MaxShown = 40;
    return u'\'' + (value.size() > MaxShown ? value.left(MaxShown) + QStringLiteral("…") : value)
        + u'\'';
}
} // namespace

namespace CriteriaCheck {

bool isOpenSwitch(const QString &argName, const QString &value)
{
    if (value == u"T")
        return true;
    if (value.isEmpty())
        return false;
    throw EArgumentRefused(QStringLiteral("Argumento %1 inválido: %2 (esperado T ou vazio)")
                               .arg(argName, quoted(value)));
}

QChar oneOf(const QString &argName, const QString &value, const QString &allowed)
{
    if (value.size() == 1 && allowed.contains(value.at(0)))
        return value.at(0);
    QStringList letters;
    for (QChar c : allowed)
        letters << QString(c);
    const QString last = letters.takeLast();
    throw EArgumentRefused(QStringLiteral("Argumento %1 inválido: %2 (esperado %3 ou %4)")
                               .arg(argName, quoted(value), letters.join(u", "), last));
}

QStringList codeList(const QString &argName, const QString &text, int maxSize)
{
    if (text.isEmpty())
        return {};
    const QStringList codes = text.split(u',');
    if (codes.size() > MaxListCodes)
        throw EArgumentRefused(QStringLiteral("Argumento %1 inválido: %2 códigos (máximo %3)")
                                   .arg(argName).arg(codes.size()).arg(MaxListCodes));
    for (const QString &code : codes) {
        const bool wellFormed = !code.isEmpty() && code.size() <= maxSize
                                && std::all_of(code.begin(), code.end(), isCodeChar);
        if (!wellFormed)
            throw EArgumentRefused(
                QStringLiteral("Argumento %1 inválido: código %2 (esperados códigos de até %3 "
                               "letras ou dígitos separados por vírgula)")
                    .arg(argName, quoted(code))
                    .arg(maxSize));
    }
    return codes;
}

QString dayText(const QString &argName, double oleDays)
{
    if (!std::isfinite(oleDays))
        throw EArgumentRefused(QStringLiteral("Argumento %1 inválido: data não é um número finito")
                                   .arg(argName));
    // The whole part is the day for negative values too: -1.25 is 1899-12-29 06:00.
    const double day = std::clamp(std::trunc(oleDays), FirstOleDay, LastOleDay);
    return QDate(1899, 12, 30).addDays(qint64(day)).toString(Qt::ISODate);
}

} // namespace CriteriaCheck

Criteria Criteria::fromRaw(const RawCriteria &raw)
{
    using namespace CriteriaCheck;
    Criteria c;
    c.filOL = raw.filOL;
    c.allDtEntr = isOpenSwitch(QStringLiteral("stDtEntr"), raw.stDtEntr);
    c.entrIni = dayText(QStringLiteral("DtEntrIni"), raw.entrIni);
    c.entrFin = dayText(QStringLiteral("DtEntrFin"), raw.entrFin);
    c.allDtSoli = isOpenSwitch(QStringLiteral("stDtSoli"), raw.stDtSoli);
    c.solIni = dayText(QStringLiteral("DtSolIni"), raw.solIni);
    c.solFin = dayText(QStringLiteral("DtSolFin"), raw.solFin);
    c.allProd = isOpenSwitch(QStringLiteral("stProd"), raw.stProd);
    c.prodIni = raw.prodIni;
    c.prodFin = raw.prodFin;
    c.allFilSoli = isOpenSwitch(QStringLiteral("stTFilSoli"), raw.tFilSoli);
    c.filSoli = codeList(QStringLiteral("stLFilSoli"), raw.lFilSoli, FilialCodeSize);
    c.allConsol = isOpenSwitch(QStringLiteral("stTodasConsol"), raw.todasConsol);
    c.consols = codeList(QStringLiteral("stListaConsol"), raw.listaConsol, ConsolCodeSize);
    const QString sNT = QStringLiteral("SNT");
    c.status = oneOf(QStringLiteral("stStatus"), raw.status, sNT);
    c.itemConsol = oneOf(QStringLiteral("stItemConsol"), raw.itemConsol, sNT);
    c.pedGerado = oneOf(QStringLiteral("stPedGerado"), raw.pedGerado, sNT);
    c.qtdePedido = oneOf(QStringLiteral("stQtdePedido"), raw.qtdePedido, QStringLiteral("ABCDEFT"));
    return c;
}
