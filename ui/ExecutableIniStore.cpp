#include "ui/ExecutableIniStore.h"

#include "base/Text.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

namespace talvoren {

TExecutableIniStore::TExecutableIniStore(std::u16string windowsPath, QString hostPath)
    : fWindowsPath(std::move(windowsPath))
    , fHostPath(std::move(hostPath))
{
}

QString TExecutableIniStore::hostIniPath()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString name = exe.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot >= 0 ? name.left(dot) : name;
    return exe.absolutePath() + QLatin1Char('/') + base + QStringLiteral(".ini");
}

bool TExecutableIniStore::IsOurs(const std::u16string& path) const
{
    // Windows compares file names without regard to letter case.
    return equalsAsciiNoCase(path, fWindowsPath);
}

std::optional<std::vector<uint8_t>> TExecutableIniStore::ReadAll(const std::u16string& path)
{
    if (!IsOurs(path)) {
        return std::nullopt;
    }
    // Opening a pipe would wait for a writer, and a device may never end:
    // only a regular file of a sane size is read.
    const QFileInfo info(fHostPath);
    if (!info.isFile() || info.size() > qint64(kMaxIniFileBytes)) {
        return std::nullopt;
    }
    QFile file(fHostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray data = file.read(qint64(kMaxIniFileBytes) + 1);
    if (data.size() > qint64(kMaxIniFileBytes)) {
        return std::nullopt; // it grew while being read
    }
    return std::vector<uint8_t>(data.begin(), data.end());
}

bool TExecutableIniStore::WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes)
{
    if (!IsOurs(path)) {
        return false;
    }
    // What is not a regular file was never read as settings: it is not
    // replaced by them either.
    if (const QFileInfo info(fHostPath); info.exists() && !info.isFile()) {
        return false;
    }
    // The new content goes to a file of its own beside the old one, on the
    // disk before it takes the old one's name in one step, so a process
    // killed at any moment leaves the old file or the new one, never a part.
    // (QSaveFile alone would follow a symbolic link and write its target.)
    const QString fresh
        = fHostPath + QStringLiteral(".new-") + QString::number(QRandomGenerator::global()->generate64(), 36);
    QSaveFile file(fresh);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        return false;
    }
    // Renaming replaces the name itself: a symbolic link there gives way to
    // the file, and whatever it pointed to is left as it was.
    std::error_code failed;
    std::filesystem::rename(std::filesystem::path(fresh.toStdU16String()),
                            std::filesystem::path(fHostPath.toStdU16String()), failed);
    if (failed) {
        QFile::remove(fresh);
        return false;
    }
    return true;
}

} // namespace talvoren
