// talvoren-reg: reg.exe for the emulated machine of TALVOREN_PREFIX.

#include "platform/Platform.h"
#include "platform/Utf.h"
#include "platform/posix/Hive.h"
#include "platform/posix/MachineAccounts.h"
#include "platform/posix/Prefix.h"
#include "platform/posix/regtool/RegTool.h"

#include <iostream>
#include <stdexcept>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace talvoren::platform;
    try {
        auto platform = createPlatform();
        std::vector<std::u16string> args;
        for (int i = 1; i < argc; ++i) {
            args.push_back(fromUtf8(argv[i]));
        }
        // "useradd Name": an account with a profile of its own, as the
        // first logon of a new user makes it (the machine needs write access).
        if (args.size() == 2 && (args[0] == u"useradd" || args[0] == u"USERADD")) {
            const posix::TPrefix prefix(posix::TPrefix::location());
            std::shared_ptr<posix::THive> machine;
            if (posix::THive::open(prefix.machineHive().string(), machine) != error::kSuccess) {
                std::cerr << "reg: the machine hive cannot be opened\n";
                return 1;
            }
            const auto account = posix::logonAccount(*machine, prefix.driveC(), args[1]);
            if (!account || account->info.name != args[1]) {
                std::cerr << "reg: the account cannot be made\n";
                return 1;
            }
            std::cout << toUtf8(account->sid) << "\n";
            return 0;
        }
        // Without a terminal to ask, a missing /f means no, as nothing may
        // be overwritten or deleted unasked.
        const bool terminal = isatty(STDIN_FILENO);
        posix::TRegTool tool(platform->registry(), std::cout, std::cerr, [terminal](const std::string& question) {
            if (!terminal) {
                return false;
            }
            std::cout << question << " (Yes|No) " << std::flush;
            std::string answer;
            if (!std::getline(std::cin, answer)) {
                return false;
            }
            return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
        });
        return tool.run(args);
    } catch (const std::exception& e) {
        std::cerr << "reg: " << e.what() << "\n";
        return 1;
    }
}
