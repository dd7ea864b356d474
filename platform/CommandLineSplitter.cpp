#include "platform/CommandLineSplitter.h"

namespace talvoren::platform {

std::vector<std::u16string> splitCommandLine(const std::u16string& commandLine)
{
    std::vector<std::u16string> args;
    const size_t n = commandLine.size();
    size_t i = 0;
    for (;;) {
        // Skip separators; a pair of quotes at the start of an argument is
        // skipped too. Standing alone, the pair is an empty argument: were it
        // to vanish, `-S "" Path` would set Path instead of naming nothing.
        bool empty = false;
        for (;;) {
            while (i < n && commandLine[i] >= 1 && commandLine[i] <= 32) {
                ++i;
            }
            if (i + 1 < n && commandLine[i] == u'"' && commandLine[i + 1] == u'"') {
                i += 2;
                empty = i >= n || commandLine[i] <= 32;
                if (empty) {
                    break;
                }
            } else {
                break;
            }
        }
        if (empty) {
            args.emplace_back();
            if (i < n && commandLine[i] == 0) {
                break;
            }
            continue;
        }
        if (i >= n || commandLine[i] == 0) {
            break;
        }
        std::u16string arg;
        while (i < n && commandLine[i] > 32) {
            if (commandLine[i] == u'"') {
                ++i;
                while (i < n && commandLine[i] != u'"' && commandLine[i] != 0) {
                    arg += commandLine[i++];
                }
                if (i < n && commandLine[i] == u'"') {
                    ++i;
                }
            } else {
                arg += commandLine[i++];
            }
        }
        args.push_back(std::move(arg));
        if (i < n && commandLine[i] == 0) {
            break;
        }
    }
    return args;
}

} // namespace talvoren::platform
