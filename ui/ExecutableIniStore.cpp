#include "ui/ExecutableIniStore.h"

#include "base/Text.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QSaveFile file(fHostPath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace talvoren
