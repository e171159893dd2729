#pragma once
#include <string>

namespace testsupport {

// The test process itself: its environment and what it runs on.
class TestProcess {
public:
    // Natively: gives this process a registry, temporary folder and data
    // folder of its own (ONDRIVEX_REGISTRY_DIR, TMPDIR, XDG_DATA_HOME),
    // removed when the process exits. Nothing on Windows, where tests keep to
    // their own keys and folders by name. Called once by the tests' main
    // before any test runs.
    static void isolate();

    // Sets an environment variable for this process and the programs it starts.
    static void setEnvironment(const std::wstring& name, const std::wstring& value);

    // Whether this Windows program runs under Wine rather than Windows, for
    // the few checks Wine cannot answer as Windows does. Natively false.
    static bool runningUnderWine();
};

} // namespace testsupport
