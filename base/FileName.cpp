#include "base/FileName.h"

#include "base/File.h"
#include "base/Tools.h"

namespace {

const wchar_t* const TrailingJunk = L"\\\t/. :;";

bool isJunk(wchar_t c)
{
    for (const wchar_t* p = TrailingJunk; *p != 0; ++p) {
        if (*p == c)
            return true;
    }
    return false;
}

} // namespace

FileName::FileName() = default;

FileName::FileName(const std::wstring& fullPath)
{
    split(fullPath);
}

FileName::FileName(const std::wstring& folderPath, const std::wstring& name,
                   const std::wstring& extension)
{
    std::wstring drive;
    std::wstring folder = folderPath;
    const size_t colon = folderPath.find(L':');
    if (File::hasDrives() && colon != std::wstring::npos) {
        drive = folderPath.substr(0, colon);
        folder = folderPath.substr(colon + 1);
    }
    split(compose(drive, folder, name, extension));
}

FileName::FileName(const std::wstring& drive, const std::wstring& folder, const std::wstring& name,
                   const std::wstring& extension)
{
    split(compose(drive, folder, name, extension));
}

FileName::~FileName() = default;

void FileName::setFullPath(const std::wstring& path)
{
    split(path);
}

void FileName::setDrive(const std::wstring& drive)
{
    split(compose(drive, m_folder, m_name, m_extension));
}

void FileName::setFolder(const std::wstring& folder)
{
    split(compose(m_drive, folder, m_name, m_extension));
}

void FileName::setName(const std::wstring& name)
{
    split(compose(m_drive, m_folder, name, m_extension));
}

void FileName::setExtension(const std::wstring& extension)
{
    split(compose(m_drive, m_folder, m_name, extension));
}

bool FileName::isOfType(const std::wstring& extension) const
{
    return File::isOfType(m_fullPath, extension);
}

bool FileName::exists() const
{
    return File::exists(m_fullPath);
}

std::wstring FileName::cleanPath(const std::wstring& text)
{
    return Tools::cleanString(text);
}

void FileName::split(const std::wstring& path)
{
    m_drive.clear();
    m_folder.clear();
    m_name.clear();
    m_extension.clear();

    std::wstring rest = path;
    if (File::hasDrives() && rest.size() >= 2 && rest[1] == L':') {
        m_drive = Tools::cleanString(rest.substr(0, 1));
        rest.erase(0, 2);
    }
    // Trailing separators and punctuation go, but a path that is all
    // separators is the root and stays one.
    size_t end = rest.size();
    while (end > 0 && isJunk(rest[end - 1]))
        --end;
    bool rootOnly = end == 0 && !rest.empty() && File::isSeparator(rest[0]);
    const wchar_t rootSeparator = rootOnly ? rest[0] : L'\0';
    rest.erase(end);

    size_t lastSeparator = std::wstring::npos;
    for (size_t i = rest.size(); i > 0; --i) {
        if (File::isSeparator(rest[i - 1])) {
            lastSeparator = i - 1;
            break;
        }
    }
    std::wstring folderPart;
    std::wstring filePart = rest;
    if (lastSeparator != std::wstring::npos) {
        folderPart = rest.substr(0, lastSeparator + 1);
        filePart = rest.substr(lastSeparator + 1);
    }
    if (rootOnly) {
        m_folder.assign(1, rootSeparator);
    } else if (!folderPart.empty()) {
        size_t folderEnd = folderPart.size();
        while (folderEnd > 0 && isJunk(folderPart[folderEnd - 1]))
            --folderEnd;
        // Nothing but separators: the root folder.
        m_folder = folderEnd == 0 ? folderPart.substr(0, 1) : folderPart.substr(0, folderEnd);
    }
    const size_t dot = filePart.rfind(L'.');
    if (dot != std::wstring::npos) {
        m_name = Tools::cleanString(filePart.substr(0, dot));
        m_extension = Tools::cleanString(filePart.substr(dot + 1));
    } else {
        m_name = Tools::cleanString(filePart);
    }
    m_driveAndFolder = m_drive.empty() ? m_folder : m_drive + L":" + m_folder;
    m_fullPath = compose(m_drive, m_folder, m_name, m_extension);
}

std::wstring FileName::compose(const std::wstring& drive, const std::wstring& folder,
                               const std::wstring& name, const std::wstring& extension)
{
    std::wstring out;
    if (File::hasDrives() && !drive.empty()) {
        out += drive;
        if (drive.back() != L':')
            out += L':';
    }
    out += folder;
    const bool hasFile = !name.empty() || !extension.empty();
    if (hasFile && !folder.empty() && !File::isSeparator(folder.back()))
        out += File::Separator;
    out += name;
    if (!extension.empty()) {
        if (extension[0] != L'.')
            out += L'.';
        out += extension;
    }
    return out;
}

bool FileName::findIndexedName(bool wantExisting)
{
    const std::wstring base = m_name;
    for (int index = 1; index <= 9999; ++index) {
        std::wstring digits = std::to_wstring(index);
        digits.insert(0, 4 - digits.size(), L'0');
        setName(base + digits);
        if (exists() == wantExisting)
            return true;
    }
    setName(base);
    return false;
}

bool FileName::getNextAvailableIndexedName()
{
    return findIndexedName(false);
}

bool FileName::setFirstIndexedName()
{
    return findIndexedName(true);
}
