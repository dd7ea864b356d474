#pragma once

// Where the update check and the setup download go. The addresses are
// settings of the build; tests point them at a server of their own.

#include <string>

namespace talvoren {

struct TUpdateAddresses {
    // The update server (https, or http on this machine; no trailing "/").
    std::u16string server;
    // The vendor's web site: the link of the update dialog and of the about
    // box, the release-history and the donation page.
    std::u16string site;
    // The setup program.
    std::u16string download;
    // A transfer that receives nothing for this long has failed.
    int timeoutMs = 15000;
    // The whole check, from the request to the last byte of the answer,
    // ends by then, however slowly the server drips its answer.
    int checkLimitMs = 15000;

    // The addresses the build was configured with.
    static TUpdateAddresses fromBuild();
    // The addresses the program uses; fromBuild() until changed.
    static TUpdateAddresses& active();

    std::u16string historyPage() const { return site + u"/en/history"; }
};

} // namespace talvoren
