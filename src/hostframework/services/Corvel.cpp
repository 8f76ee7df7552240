#include "Corvel.h"

#include "HostConfig.h"

namespace Corvel {

QString WebURL()
{
    return HostConfig::current().serverHost;
}

int WebPort()
{
    return HostConfig::current().serverPort;
}

QString DBPict(TPictType kind)
{
    return HostConfig::current().picture(int(kind));
}

} // namespace Corvel
