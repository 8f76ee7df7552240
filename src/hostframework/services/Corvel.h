#pragma once

#include <QString>

enum class TPictType { ptProduto = 0 };

// Host-wide settings read from vex.ini.
namespace Corvel {
QString WebURL();              // application server host
int WebPort();                 // application server port
QString DBPict(TPictType kind); // edit mask of a picture kind
} // namespace Corvel
