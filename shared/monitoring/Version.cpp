#include "shared/monitoring/Version.h"

#include <cstdio>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/FileName.h"
#include "base/Tools.h"
#include "shared/monitoring/VersionBlock.h"

namespace {

// The query buffer of the version API takes 1024 characters with the
// terminator; longer paths were cut there, and still are.
const size_t MaxQueryLength = 1023;

std::wstring hex4(unsigned value)
{
    wchar_t text[8];
    std::swprintf(text, sizeof text / sizeof text[0], L"%04x", value & 0xFFFFu);
    return text;
}

} // namespace

Version::Version() = default;
Version::~Version() = default;

void Version::clear()
{
    m_originalFilename.clear();
    m_fileDescription.clear();
    m_internalName.clear();
    m_fileVersion.clear();
    m_productName.clear();
    m_productVersion.clear();
    m_companyName.clear();
}

bool Version::getInfoFromExecutable(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    clear();
    const std::wstring file(path);

    const uint32_t size = resourceSize(file);
    if (size == 0) {
        fillBlanks(path);
        return false;
    }

    ByteArray info;
    if (!readResource(file, size, info)) {
        const unsigned long error = Tools::getLastSystemError();
        fillBlanks(path);
        SystemException e(1062501, L"Unable to extract version information",
                          TC_AT(L"Version::getInfoFromExecutable"));
        e.addParameter(file);
        e.addErrorInfo(error);
        throw e;
    }

    const VersionBlock block(info.getData(), static_cast<size_t>(info.getSize()));
    return readBlock(block, path);
}

bool Version::readBlock(const VersionBlock& block, const wchar_t* path)
{
    uint16_t language = 0;
    uint16_t codePage = 0;
    if (!block.queryTranslation(language, codePage)) {
        fillBlanks(path);
        SystemException e(1062502, L"Unable to extract version language information",
                          TC_AT(L"Version::getInfoFromExecutable"));
        e.addParameter(path != nullptr ? std::wstring(path) : std::wstring());
        throw e;
    }

    const std::wstring prefix = L"\\StringFileInfo\\" + hex4(language) + hex4(codePage) + L"\\";
    getString(&block, prefix.c_str(), L"OriginalFilename", m_originalFilename);
    getString(&block, prefix.c_str(), L"FileDescription", m_fileDescription);
    getString(&block, prefix.c_str(), L"InternalName", m_internalName);
    getString(&block, prefix.c_str(), L"FileVersion", m_fileVersion);
    getString(&block, prefix.c_str(), L"ProductName", m_productName);
    getString(&block, prefix.c_str(), L"ProductVersion", m_productVersion);
    getString(&block, prefix.c_str(), L"CompanyName", m_companyName);

    fillBlanks(path);
    return true;
}

bool Version::getString(const VersionBlock* block, const wchar_t* prefix, const wchar_t* key,
                        std::wstring& out)
{
    // Many programs carry only the US English table whatever their
    // translation entry says.
    return getStringInner(block, prefix, key, out) ||
           getStringInner(block, L"\\StringFileInfo\\040904E4\\", key, out) ||
           getStringInner(block, L"\\StringFileInfo\\040904b0\\", key, out);
}

bool Version::getStringInner(const VersionBlock* block, const wchar_t* prefix, const wchar_t* key,
                             std::wstring& out)
{
    out.clear();
    if (block == nullptr || prefix == nullptr || key == nullptr)
        throw Exception(1062503, L"Null parameter specified in Version::getString",
                        TC_AT(L"Version::getStringInner"));
    std::wstring query = std::wstring(prefix) + key;
    if (query.size() > MaxQueryLength)
        query.resize(MaxQueryLength);
    return block->queryText(query, out);
}

void Version::fillBlanks(const wchar_t* path)
{
    const FileName file(path != nullptr ? std::wstring(path) : std::wstring());

    m_originalFilename = Tools::cleanString(m_originalFilename);
    m_fileDescription = Tools::cleanString(m_fileDescription);
    m_internalName = Tools::cleanString(m_internalName);
    m_productName = Tools::cleanString(m_productName);

    if (m_fileDescription.empty())
        m_fileDescription = file.getName();
    if (m_productName.empty())
        m_productName = m_fileDescription;
    if (m_internalName.empty())
        m_internalName = m_fileDescription;
    if (m_originalFilename.empty())
        m_originalFilename = file.getName() + L"." + file.getExtension();
    if (m_fileVersion.empty() && m_productVersion.empty())
        m_fileVersion = L"Unknown";
}
