#pragma once

// The settings file beside the running executable, read and written through
// Qt. The program names it by its Windows path (from the platform); Qt knows
// the same file by the executable's own path on the host, so no other path
// needs translating.

#include "settings/Options.h"

#include <QString>

namespace talvoren {

class TExecutableIniStore : public IIniFileStore {
public:
    // `windowsPath` is the options' settings path, `hostPath` the same file
    // as the host sees it.
    TExecutableIniStore(std::u16string windowsPath, QString hostPath);

    // The settings file of the running executable as the host sees it: its
    // path with the extension replaced by ".ini".
    static QString hostIniPath();

    std::optional<std::vector<uint8_t>> ReadAll(const std::u16string& path) override;
    // Written to a new file that replaces the old one, so a failed write
    // leaves the old settings intact.
    bool WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) override;

private:
    bool IsOurs(const std::u16string& path) const;

    std::u16string fWindowsPath;
    QString fHostPath;
};

} // namespace talvoren
