#include "shared/server/ADGroup.h"

ADGroup::ADGroup(const std::wstring& name, const std::wstring& guid) : m_guid(guid)
{
    setName(name);
}

void ADGroup::setName(const std::wstring& name)
{
    size_t at = name.find(L"cn=");
    if (at == std::wstring::npos)
        at = name.find(L"CN=");
    m_name = at == std::wstring::npos ? name : name.substr(at + 3);
}
