#pragma once

#include <QString>
#include <QStringList>

// The criteria as a client sends them, before any check.
struct RawCriteria
{
    QString filOL;
    QString stDtEntr, stDtSoli, stProd;
    QString prodIni, prodFin; // final code already padded by the client
    QString lFilSoli, tFilSoli;
    QString listaConsol, todasConsol;
    QString status, itemConsol, pedGerado, qtdePedido;
    double entrIni = 0, entrFin = 0, solIni = 0, solFin = 0;
};

// Checked criteria, ready to bind. Dates are ISO day texts (whole days).
struct Criteria
{
    QString filOL;
    bool allDtEntr = true;
    QString entrIni, entrFin;
    bool allDtSoli = true;
    QString solIni, solFin;
    bool allProd = true;
    QString prodIni, prodFin;
    bool allFilSoli = true;
    QStringList filSoli;
    bool allConsol = true;
    QStringList consols;
    QChar status = u'T', itemConsol = u'T', pedGerado = u'T', qtdePedido = u'T';

    // Throws EArgumentRefused naming the first bad argument.
    static Criteria fromRaw(const RawCriteria &raw);
};

// Argument checks shared by every method. Each throws EArgumentRefused with
// a message naming the argument.
namespace CriteriaCheck {
constexpr int MaxListCodes = 1000;

// 'T' (criterion open) or '' (closed).
bool isOpenSwitch(const QString &argName, const QString &value);
// One of the letters in `allowed`; the message lists them.
QChar oneOf(const QString &argName, const QString &value, const QString &allowed);
// Codes separated by commas; letters and digits only, each at most maxSize;
// empty text = empty list.
QStringList codeList(const QString &argName, const QString &text, int maxSize);
// The day of an OLE date-time (fraction dropped) as YYYY-MM-DD, clamped to
// years 100..9999; refuses a value that is not finite.
QString dayText(const QString &argName, double oleDays);
} // namespace CriteriaCheck
