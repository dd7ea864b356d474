#include "app/HelpText.h"

#include "base/Translation.h"
#include "cli/CommandLine.h"

namespace talvoren {

std::u16string CommandHelpText(const std::u16string& newline)
{
    std::u16string text = tr("Command line parameters") + newline + CommandHelpUrl() + newline;
    for (const auto& line : CommandHelpLines()) {
        text += newline;
        text += tr(line.option);
        if (*line.description != '\0') {
            text += u"\t" + tr(line.description);
        }
    }
    text += newline;
    for (const char* note : CommandHelpNotes()) {
        text += newline + tr(note);
    }
    return text;
}

} // namespace talvoren
