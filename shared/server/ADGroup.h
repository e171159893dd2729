#pragma once
#include <string>

#include "shared/TCShrdApi.h"

// A directory group the user belongs to, as sent to the server.
class TCSHRD_API ADGroup {
public:
    ADGroup() = default;
    // The name is taken through setName.
    ADGroup(const std::wstring& name, const std::wstring& guid);
    virtual ~ADGroup() = default;

    const std::wstring& getName() const { return m_name; }
    const std::wstring& getGUID() const { return m_guid; }
    // Keeps what follows the first "cn=" or, when there is none, the first
    // "CN="; a text with neither stays whole ("CN=Sales,OU=Groups" becomes
    // "Sales,OU=Groups").
    void setName(const std::wstring& name);
    void setGUID(const std::wstring& guid) { m_guid = guid; }

private:
    std::wstring m_name;
    std::wstring m_guid;
};
