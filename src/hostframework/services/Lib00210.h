#pragma once

#include <QString>
#include <QStringList>

// Product routines shared by the purchasing screens.
namespace Lib00210 {
// The product whose tree code (CDARVPROD, stored form) is code, read from
// PRODUTO through dtmDBGeral: {NMPRODUTO, CDPRODUTO, SGUNIDADE, CDNVPRODUTO}.
// Throws EVexError "Produto não cadastrado: <code>." when there is none, and
// EDatabaseError when the database fails.
QStringList Dados_Produto(const QString &code);
} // namespace Lib00210
