#pragma once
#include <string>
#include <vector>

// The client's maintenance options: "stopClient", "installstart" and
// "uninstallservice", written with or without a leading "/" or "-". Each
// argument sets all three flags from itself alone, so only the last one
// counts and any other argument clears them; names are compared exactly.
class CCustomCommandLineInfo {
public:
    // One argument, its "/" or "-" already taken off when isFlag.
    void ParseParam(const std::wstring& param, bool isFlag, bool isLast);
    // The program's arguments (without the program's own name).
    void parse(const std::vector<std::wstring>& arguments);

    bool m_stopClient = false;
    bool m_installStart = false;
    bool m_uninstallService = false;
};
