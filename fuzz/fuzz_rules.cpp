// Rules files are edited by hand at every site and titles come from any
// program: any bytes must load, and every title must be cut without a
// fault. The input is a rules file, a zero byte, then titles one per line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Utf16.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IntelligentTitlebarTextExtractor.h"
#include "shared/monitoring/OLETextExtractor.h"
#include "shared/monitoring/TitlebarTextExtractor.h"

namespace {

class FuzzedRules : public TitlebarTextExtractor {
public:
    explicit FuzzedRules(const std::string& text) : TitlebarTextExtractor(std::wstring())
    {
        readApplicationRules(text);
    }
};

bool contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string rulesText = input.substr(0, split);
    std::vector<std::wstring> titles;
    if (split != std::string::npos) {
        const std::wstring rest = Utf16::fromUtf8(input.substr(split + 1));
        size_t start = 0;
        while (start <= rest.size() && titles.size() < 16) {
            size_t end = rest.find(L'\n', start);
            if (end == std::wstring::npos)
                end = rest.size();
            titles.push_back(rest.substr(start, end - start));
            start = end + 1;
        }
    }
    const FuzzedRules rules(rulesText);
    const OLETextExtractor automation;
    const IntelligentTitlebarTextExtractor split2;
    std::vector<std::wstring> keys = rules.getApplications();
    keys.push_back(L"NO-RULES.EXE");
    for (const std::wstring& key : keys) {
        for (const std::wstring& title : titles) {
            std::wstring s1 = L"\x1", s2 = L"\x2", s3 = L"\x3";
            if (rules.process(key, title, s1, s2, s3) == 1) {
                // Rules only ever remove text: what is left stands in the title.
                if (!contains(title, s1) || !contains(title, s2))
                    __builtin_trap();
            } else if (s1 != L"\x1" || s2 != L"\x2") {
                // A failed run leaves strings 1 and 2 alone.
                __builtin_trap();
            }
            const GenericAppChangeService::Report report = GenericAppChangeService::describe(
                rules, automation, split2, nullptr, key, title, title);
            if (report.quality != L"SecondClass" && report.quality != L"ThirdClass" &&
                report.quality != L"FourthClass")
                __builtin_trap();
            if (report.quality == L"FourthClass" && report.string2 != title)
                __builtin_trap();
        }
    }
    return 0;
}
