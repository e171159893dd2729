#pragma once
#include <map>
#include <string>
#include "shared/TCShrdApi.h"

class TopLevelWindow;

// Would ask applications through automation what document they show. Kept
// for its table of applications; it declines every window, so the title
// extractors decide.
class TCSHRD_API OLETextExtractor {
public:
    // How the automation object of an application would be asked.
    struct Reader {
        std::wstring programmaticId; // "PowerPoint.Application"
        std::wstring collection;     // "ActivePresentation"
        std::wstring property;       // "FullName"
    };

    OLETextExtractor();
    virtual ~OLETextExtractor();

    // Always false.
    bool canProcess(const TopLevelWindow* window) const;
    // Never called; false, writing nothing.
    bool process(const TopLevelWindow* window, std::wstring& string1, std::wstring& string2,
                 std::wstring& string3) const;

    // Upper-case executable file name to its reader.
    const std::map<std::wstring, Reader>& getTable() const { return m_table; }

private:
    std::map<std::wstring, Reader> m_table;
};
