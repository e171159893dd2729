#pragma once
#include <string>

#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/Desktop.h"
#include "shared/monitoring/IntelligentTitlebarTextExtractor.h"
#include "shared/monitoring/OLETextExtractor.h"
#include "shared/monitoring/TitlebarTextExtractor.h"
#include "shared/TCShrdApi.h"

class System;
class TopLevelWindow;

// The client's own source of context: once a second it reports what the
// title of the foreground window says as a PLUGIN_INFO message on the
// internal device, exactly as a plug-in would. It never decides whether
// anything changed; the system change service compares.
class TCSHRD_API GenericAppChangeService : public Service {
public:
    // What one report says: strings 1 to 3 and the quality as text.
    struct Report {
        std::wstring string1;
        std::wstring string2;
        std::wstring string3 = L"Unspecified";
        std::wstring quality;
    };

    // Loads the title rules of the installation. The system is not owned.
    explicit GenericAppChangeService(System& system);
    // Loads the title rules from the file at rulesFile instead.
    GenericAppChangeService(System& system, const std::wstring& rulesFile);
    ~GenericAppChangeService() override;

    // Ticks every 1000 ms; true.
    bool setup() override;
    // The service takes no messages.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // Reports the active window's context (nothing without an active window
    // or application). MonitoringException 1062201 from the system passes.
    void onTimer() override;

    // The report for a window of that executable key (the upper-case
    // original file name), file description and title: the automation
    // extractor (which declines), then the title rules, then the title
    // split, then the whole title as fourth-class context.
    static Report describe(const TitlebarTextExtractor& titleRules,
                           const OLETextExtractor& automation,
                           const IntelligentTitlebarTextExtractor& titleSplit,
                           const TopLevelWindow* window, const std::wstring& exeKey,
                           const std::wstring& fileDescription, const std::wstring& title);

    // A new PLUGIN_INFO message carrying the report for the window; the
    // caller owns it.
    static Msg* buildPluginInfo(native::Window window, const Report& report);

    // Window handles travel as 32-bit integers: Windows keeps handle values
    // within 32 bits, sign-extended on 64-bit systems.
    static int handleToInt(native::Window window);
    static native::Window intToHandle(int value);

    const TitlebarTextExtractor& getTitleRules() const { return m_titleRules; }

protected:
    System& m_system;
    TitlebarTextExtractor m_titleRules;
    OLETextExtractor m_automation;
    IntelligentTitlebarTextExtractor m_titleSplit;
};
