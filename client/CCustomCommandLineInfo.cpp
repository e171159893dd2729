#include "client/CCustomCommandLineInfo.h"

void CCustomCommandLineInfo::ParseParam(const std::wstring& param, bool, bool)
{
    m_stopClient = param == L"stopClient";
    m_installStart = param == L"installstart";
    m_uninstallService = param == L"uninstallservice";
}

void CCustomCommandLineInfo::parse(const std::vector<std::wstring>& arguments)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        bool flag = !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
        ParseParam(flag ? argument.substr(1) : argument, flag, i + 1 == arguments.size());
    }
}
