#pragma once
#include <string>

// The client's version as users and the server write it ("2.7.1"), and the
// check whether the server offers a newer one.
class VersionText {
public:
    // From a file version "a, b, c, d": "a.b", then ".d" when c is not "0".
    // Fewer than four parts give what is there ("2, 7" is "2.7").
    static std::wstring fromFileVersion(const std::wstring& fileVersion);
    // Whether the server's version text sorts after the local one, compared
    // character by character as text (so "2.10" does not follow "2.7.1").
    static bool isUpdateAvailable(const std::wstring& local, const std::wstring& server);
    // The question asked when an update is available.
    static std::wstring updateQuestion(const std::wstring& server);
    static const wchar_t* const NoUpdates; // "No updates are available."
};
