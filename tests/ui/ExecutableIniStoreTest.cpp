// The settings file beside the executable: what is not a sane regular file
// reads as no file at once (the settings then take their defaults), and is
// never replaced by a save.

#include "ui/ExecutableIniStore.h"

#include "settings/IniFile.h"
#include "tests/support/TestSupport.h"

#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace talvoren;
namespace fs = std::filesystem;

class ExecutableIniStoreTest : public QObject {
    Q_OBJECT

private slots:
    void onlyASaneRegularFileIsRead()
    {
        test::TempDir dir;
        const std::u16string windows = u"C:\\Tools\\talvoren.ini";
        auto read = [&](const fs::path& host) {
            // A read that would hang is let go (a writer opens the pipe) and fails.
            auto reading = std::async(std::launch::async, [&] {
                TExecutableIniStore store(windows, QString::fromStdString(host.string()));
                return store.ReadAll(windows);
            });
            if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
                const int writer = ::open(host.c_str(), O_WRONLY | O_NONBLOCK);
                reading.wait();
                ::close(writer);
                return std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{'h', 'u', 'n', 'g'});
            }
            return reading.get();
        };

        const fs::path plain = dir.path() / "plain.ini";
        std::ofstream(plain) << "[Settings]\r\nleft=1\r\n";
        QCOMPARE(read(plain).value_or(std::vector<uint8_t>{}).size(), size_t(20));

        const fs::path pipe = dir.path() / "pipe.ini";
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        QVERIFY(!read(pipe).has_value());

        const fs::path zero = dir.path() / "zero.ini";
        fs::create_symlink("/dev/zero", zero);
        QVERIFY(!read(zero).has_value());

        const fs::path huge = dir.path() / "huge.ini";
        std::ofstream(huge) << std::string(kMaxIniFileBytes + 1, ';');
        QVERIFY(!read(huge).has_value());

        // A save never replaces what was not read.
        TExecutableIniStore store(windows, QString::fromStdString(pipe.string()));
        QVERIFY(!store.WriteAll(windows, {'x'}));
        QVERIFY(fs::is_fifo(pipe));
    }
};

QTEST_MAIN(ExecutableIniStoreTest)
#include "ExecutableIniStoreTest.moc"
