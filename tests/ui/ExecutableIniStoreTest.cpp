// The settings file beside the executable: what is not a sane regular file
// reads as no file at once (the settings then take their defaults), and is
// never replaced by a save.

#include "ui/ExecutableIniStore.h"

#include "settings/IniFile.h"
#include "settings/Options.h"
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

    // A settings file that is a symbolic link is replaced by a real file of
    // its own; the target keeps its content. The write goes to a new file
    // that takes the name in one step, and leaves no other file behind.
    void aLinkedFileIsReplacedNotWrittenThrough()
    {
        test::TempDir dir;
        const std::u16string windows = u"C:\\Tools\\talvoren.ini";
        const fs::path target = dir.path() / "elsewhere.txt";
        const fs::path ini = dir.path() / "talvoren.ini";
        std::ofstream(target) << "[Talvoren]\r\nskin=Sky\r\n";
        fs::create_symlink(target, ini);

        TExecutableIniStore store(windows, QString::fromStdString(ini.string()));
        QCOMPARE(store.ReadAll(windows).value_or(std::vector<uint8_t>{}).size(), size_t(22));
        QVERIFY(store.WriteAll(windows, {'n', 'e', 'w'}));
        QVERIFY(!fs::is_symlink(ini));
        QCOMPARE(fs::file_size(ini), uintmax_t(3));
        QCOMPARE(fs::file_size(target), uintmax_t(22));
        QCOMPARE(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    }

    // The options over the real settings file beside this executable: a long
    // exclusion list (60 000 names, over a megabyte) loads whole and is saved
    // whole; a file over the read limit is left exactly as it is.
    void aLongListIsKeptAndAnUnreadableFileIsNeverOverwritten()
    {
        test::TestMachine machine;
        const QString host = TExecutableIniStore::hostIniPath();
        const fs::path hostPath = host.toStdString();
        struct TRemove {
            fs::path path;
            ~TRemove() { fs::remove(path); }
        } remove{hostPath};
        TExecutableIniStore store(ChangeFileExt(machine.platform().system().executablePath(), u".ini"), host);

        std::string text = "[Talvoren]\r\nskin=Sky\r\n[Exclusions]\r\n";
        for (int i = 0; i < 60000; ++i) {
            text += "SOME_LONGER_VARIABLE_NAME_" + std::to_string(i) + "=3\r\n";
        }
        QVERIFY(text.size() > (size_t(1) << 20));
        std::ofstream(hostPath, std::ios::binary) << text;
        {
            TOptions options(machine.platform(), store);
            options.Load();
            QVERIFY(options.isUSB());
            QVERIFY(!options.isUnreadable());
            QCOMPARE(options.GetExclusions().Count(), size_t(60000));
            options.Save();
        }
        {
            TOptions again(machine.platform(), store);
            again.Load();
            QCOMPARE(again.GetExclusions().Count(), size_t(60000));
            QVERIFY(again.skin == u"Sky");
        }

        std::ofstream(hostPath, std::ios::binary | std::ios::app) << std::string(kMaxIniFileBytes, ';');
        const auto size = fs::file_size(hostPath);
        TOptions options(machine.platform(), store);
        options.Load();
        QVERIFY(options.isUnreadable());
        QCOMPARE(options.GetExclusions().Count(), size_t(0));
        options.Save();
        QCOMPARE(fs::file_size(hostPath), size);
    }
};

QTEST_MAIN(ExecutableIniStoreTest)
#include "ExecutableIniStoreTest.moc"
