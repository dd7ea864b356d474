// talvoren-reg: reg.exe for the emulated machine of TALVOREN_PREFIX.

#include "platform/Platform.h"
#include "platform/Utf.h"
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
