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
    // Written to a new file beside the old one, flushed to the disk, that
    // then replaces the old one by a rename: a failed write or a killed
    // process leaves the old settings intact. A settings file that is a
    // symbolic link is replaced by a real file of its own; the link's
    // target is never written, so a link (planted beside an executable that
    // may run elevated, say) cannot turn a save into a write elsewhere, and
    // the settings are kept all the same.
    bool WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) override;

private:
    bool IsOurs(const std::u16string& path) const;

    std::u16string fWindowsPath;
    QString fHostPath;
};

} // namespace talvoren
