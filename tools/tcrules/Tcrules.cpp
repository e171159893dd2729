// tcrules RULESFILE EXEKEY TITLE [FILEDESCRIPTION]
//
// Prints what the foreground tracking reports for a window of the
// executable whose original file name is EXEKEY, with that title and file
// description: the quality and strings 1 to 3, one per line. The events of
// the rules file go to standard error. Exit 0; 2 for wrong arguments.
#include <cstdio>
#include <string>
#include <vector>

#include "base/Logger.h"
#include "base/Tools.h"
#include "base/Utf16.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IntelligentTitlebarTextExtractor.h"
#include "shared/monitoring/OLETextExtractor.h"
#include "shared/monitoring/TitlebarTextExtractor.h"
#include "tools/common/StderrEvents.h"
#include "tools/tcrules/Tcrules.h"

namespace {

const int Usage = 2;

void writeOut(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int usage()
{
    const std::string text =
        "usage: tcrules RULESFILE EXEKEY TITLE [FILEDESCRIPTION]\n"
        "  prints quality=, string1=, string2=, string3= as the foreground\n"
        "  tracking reports them for a window of the executable whose original\n"
        "  file name is EXEKEY; the rules file's events go to standard error\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return Usage;
}

} // namespace

int Tcrules::run(const std::vector<std::string>& args)
{
    if (args.size() < 3 || args.size() > 4)
        return usage();
    toolsupport::traceToStderr(L"tcrules");
    const TitlebarTextExtractor rules(Utf16::fromUtf8(args[0]));
    const OLETextExtractor automation;
    const IntelligentTitlebarTextExtractor split;
    std::wstring exeKey = Utf16::fromUtf8(args[1]);
    Tools::stringToUpper(exeKey);
    const std::wstring title = Utf16::fromUtf8(args[2]);
    const std::wstring description = args.size() > 3 ? Utf16::fromUtf8(args[3]) : std::wstring();
    const GenericAppChangeService::Report report = GenericAppChangeService::describe(
        rules, automation, split, nullptr, exeKey, description, title);
    writeOut("quality=" + Utf16::toUtf8(report.quality) + "\n" + "string1=" +
             Utf16::toUtf8(report.string1) + "\n" + "string2=" + Utf16::toUtf8(report.string2) +
             "\n" + "string3=" + Utf16::toUtf8(report.string3) + "\n");
    Logger::shutDown();
    return 0;
}
