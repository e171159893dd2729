#include "shared/monitoring/IntelligentTitlebarTextExtractor.h"

namespace {
const wchar_t* const Separator = L" - ";
const size_t SeparatorLength = 3;
} // namespace

IntelligentTitlebarTextExtractor::IntelligentTitlebarTextExtractor() = default;
IntelligentTitlebarTextExtractor::~IntelligentTitlebarTextExtractor() = default;

bool IntelligentTitlebarTextExtractor::sourceContainsSubString(const std::wstring& source,
                                                               const std::wstring& part)
{
    return source.find(part) != std::wstring::npos;
}

int IntelligentTitlebarTextExtractor::canProcess(const std::wstring& title) const
{
    return sourceContainsSubString(title, Separator) ? 1 : 0;
}

int IntelligentTitlebarTextExtractor::process(const std::wstring& title,
                                              const std::wstring& fileDescription,
                                              std::wstring& out) const
{
    const size_t at = title.find(Separator);
    if (at == std::wstring::npos)
        return 0;
    const std::wstring left = title.substr(0, at);
    const std::wstring right = title.substr(at + SeparatorLength);
    if (sourceContainsSubString(fileDescription, right)) {
        out = left;
        return 1;
    }
    if (sourceContainsSubString(fileDescription, left)) {
        out = right;
        return 1;
    }
    return 0;
}
