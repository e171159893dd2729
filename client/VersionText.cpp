#include "client/VersionText.h"

#include <vector>

const wchar_t* const VersionText::NoUpdates = L"No updates are available.";

std::wstring VersionText::fromFileVersion(const std::wstring& fileVersion)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= fileVersion.size()) {
        size_t comma = fileVersion.find(L", ", start);
        if (comma == std::wstring::npos) {
            parts.push_back(fileVersion.substr(start));
            break;
        }
        parts.push_back(fileVersion.substr(start, comma - start));
        start = comma + 2;
    }
    std::wstring text = parts.empty() ? std::wstring() : parts[0];
    if (parts.size() > 1)
        text += L"." + parts[1];
    if (parts.size() > 3 && parts[2] != L"0")
        text += L"." + parts[3];
    return text;
}

bool VersionText::isUpdateAvailable(const std::wstring& local, const std::wstring& server)
{
    return local.compare(server) < 0;
}

std::wstring VersionText::updateQuestion(const std::wstring& server)
{
    return L"Version " + server + L" is available for download.  Would you like to download?";
}
