#pragma once
#include <string>
#include "shared/TCShrdApi.h"

// For applications without rules: a title of the common form "document -
// application" loses the half that names the application, as its file
// description tells. Results count as third-class context.
class TCSHRD_API IntelligentTitlebarTextExtractor {
public:
    IntelligentTitlebarTextExtractor();
    virtual ~IntelligentTitlebarTextExtractor();

    // 1 when title contains " - ".
    int canProcess(const std::wstring& title) const;
    // Splits title at its first " - ": out = the left half when the file
    // description contains the right one, else the right half when it
    // contains the left one (1); otherwise 0 with out unchanged.
    int process(const std::wstring& title, const std::wstring& fileDescription,
                std::wstring& out) const;

private:
    static bool sourceContainsSubString(const std::wstring& source, const std::wstring& part);
};
