// The rules file of the installation, found through the machine's
// "InstallDir" (natively each test process has a registry of its own).
#include <gtest/gtest.h>

#include "base/Registry.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/monitoring/TitlebarTextExtractor.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

TEST(InstalledRulesTest, RulesFileIsFoundInTheInstallFolder)
{
    testsupport::EventRecorder events;
    testsupport::TempFolder folder(L"install");
    testsupport::writeFile(folder.file(L"ApplicationRules.txt"),
                           std::string("[APP.EXE]\nACTIVITY=\"x\"\n"));
    Registry machine(Registry::LocalMachine);
    EXPECT_EQ(L"C:\\Program Files\\Ondrivex\\ApplicationRules.txt",
              TitlebarTextExtractor::getRulesFilePath());
    ASSERT_TRUE(machine.write(L"InstallDir", folder.path() + L"/"));
    EXPECT_EQ(folder.file(L"ApplicationRules.txt"), TitlebarTextExtractor::getRulesFilePath());

    ScriptedDesktop desktop;
    System system(desktop);
    GenericAppChangeService tracking(system);
    EXPECT_EQ(1, tracking.getTitleRules().canProcess(L"APP.EXE"));
    EXPECT_EQ(0u, events.count(1062701));

    // Without the separator the name is appended directly and not found.
    ASSERT_TRUE(machine.write(L"InstallDir", folder.path()));
    TitlebarTextExtractor rules;
    EXPECT_EQ(0, rules.canProcess(L"APP.EXE"));
    EXPECT_EQ(1u, events.count(1062701));
}

} // namespace
