#include "update/UpdateAddresses.h"

#include "platform/Utf.h"

#ifndef TALVOREN_UPDATE_SERVER
#define TALVOREN_UPDATE_SERVER "https://update.talvoren.org"
#endif
#ifndef TALVOREN_WEB_SITE
#define TALVOREN_WEB_SITE "https://www.talvoren.org"
#endif

namespace talvoren {

TUpdateAddresses TUpdateAddresses::fromBuild()
{
    TUpdateAddresses addresses;
    addresses.server = platform::fromUtf8(TALVOREN_UPDATE_SERVER);
    addresses.site = platform::fromUtf8(TALVOREN_WEB_SITE);
    addresses.download = addresses.site + u"/download/Talvoren_setup.exe";
    return addresses;
}

TUpdateAddresses& TUpdateAddresses::active()
{
    static TUpdateAddresses addresses = fromBuild();
    return addresses;
}

} // namespace talvoren
