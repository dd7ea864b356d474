#include "tests/support/RegTool.h"

#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <cctype>
#include <sstream>

namespace talvoren::test {

RegTool::RegTool(std::string command)
    : fCommand(std::move(command))
{
}

int RegTool::add(const std::string& key, const std::string& name, const std::string& type, const std::string& data)
{
    return runProcess(commandLine(fCommand, {"add", key, "/v", name, "/t", type, "/d", data, "/f"})).exitCode;
}

std::optional<RegEntry> RegTool::query(const std::string& key, const std::string& name)
{
    const auto result = runProcess(commandLine(fCommand, {"query", key, "/v", name}));
    if (result.exitCode != 0) {
        return std::nullopt;
    }
    // Value lines: four blanks, the name, four blanks, the type, four
    // blanks, the data.
    std::istringstream lines(result.output);
    std::string line;
    const std::string prefix = "    " + name + "    ";
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() < prefix.size()) {
            continue;
        }
        // reg.exe may print the name in another case than asked.
        bool same = true;
        for (size_t i = 0; i < prefix.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(line[i]))
                == std::tolower(static_cast<unsigned char>(prefix[i]));
        }
        if (!same) {
            continue;
        }
        const std::string rest = line.substr(prefix.size());
        const size_t gap = rest.find("    ");
        RegEntry entry;
        entry.type = rest.substr(0, gap);
        entry.data = gap == std::string::npos ? std::string() : rest.substr(gap + 4);
        return entry;
    }
    return std::nullopt;
}

int RegTool::remove(const std::string& key, const std::string& name)
{
    return runProcess(commandLine(fCommand, {"delete", key, "/v", name, "/f"})).exitCode;
}

} // namespace talvoren::test
