#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/ComponentInstaller.h"
#include "base/Event.h"
#include "base/File.h"
#include "base/Registry.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EventRecorder;
using testsupport::TempFolder;

class ComponentInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_startFolder = fs::current_path();
        testsupport::TestProcess::setEnvironment(L"ONDRIVEX_TEST_COMPONENT_LOG",
                                                 folder.file(L"calls.txt"));
        testsupport::TestProcess::setEnvironment(L"ONDRIVEX_TEST_COMPONENT_RESULT", L"ok");
    }
    void TearDown() override
    {
        // Registration moves into the component's folder; leave it so the
        // folder can go.
        fs::current_path(m_startFolder);
    }

    // Places a copy of a test library under an add-in's name.
    std::wstring place(const wchar_t* library, const wchar_t* addIn)
    {
        const std::wstring target = folder.file(std::wstring(addIn) + L".dll");
        fs::copy_file(fs::path(testsupport::binFolder()) / library, fs::path(target));
        return target;
    }

    std::string calls() const
    {
        std::ifstream in(fs::path(folder.file(L"calls.txt")), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<uint32_t> ids() const
    {
        std::vector<uint32_t> out;
        for (const auto& e : recorder.all())
            out.push_back(e.id);
        return out;
    }

    TempFolder folder{L"components"};
    EventRecorder recorder;

private:
    fs::path m_startFolder;
};

TEST_F(ComponentInstallerTest, ComponentListIsTheFourAddInsInOrder)
{
    const std::wstring base = folder.path() + File::Separator;
    EXPECT_EQ(ComponentInstaller::getComponentList(base),
              (std::vector<std::wstring>{base + L"TPIInternetExplorer.dll", base + L"TPIOffice.dll",
                                         base + L"TPIOutlook.dll", base + L"TavelInstaller.dll"}));
    EXPECT_EQ(ComponentInstaller::getComponentList(folder.path()),
              ComponentInstaller::getComponentList(base));
}

TEST_F(ComponentInstallerTest, InstallFolderComesFromTheMachineKey)
{
    testsupport::MachineSettingsLock machineSettings;
    Registry machine(Registry::LocalMachine, Registry::SoftwareKey);
    const std::wstring saved = machine.read(L"InstallDir", L"<absent>");
    machine.deleteValue(L"InstallDir");
    EXPECT_EQ(ComponentInstaller::getInstallFolder(), L"C:\\Program Files\\Ondrivex\\");
    ASSERT_TRUE(machine.write(L"InstallDir", folder.path()));
    EXPECT_EQ(ComponentInstaller::getInstallFolder(), folder.path());
    if (saved == L"<absent>")
        machine.deleteValue(L"InstallDir");
    else
        machine.write(L"InstallDir", saved);
}

TEST_F(ComponentInstallerTest, InstallRegistersPresentComponentsAndReportsMissingOnes)
{
    const std::wstring explorer = place(L"TestComponent.dll", L"TPIInternetExplorer");
    const std::wstring outlook = place(L"TestComponent.dll", L"TPIOutlook");
    ComponentInstaller::installComponents(folder.path());

    EXPECT_EQ(ids(), (std::vector<uint32_t>{1051304, 1051301, 1051304, 1051301}));
    const auto events = recorder.all();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].description, L"Dll Registration Successful");
    EXPECT_EQ(events[0].type, Event::Info);
    EXPECT_EQ(events[0].details, L" DLL name:" + explorer);
    EXPECT_EQ(events[1].description, L"Failed to load DLL");
    EXPECT_EQ(events[1].details.rfind(L" DLL name:" + folder.file(L"TPIOffice.dll"), 0), 0u)
        << events[1].details;
    EXPECT_NE(events[1].details.find(L"System Error ID"), std::wstring::npos);
    EXPECT_EQ(events[2].details, L" DLL name:" + outlook);
    EXPECT_EQ(calls(), "register\nregister\n");
}

TEST_F(ComponentInstallerTest, UninstallCallsTheUnregistrationExport)
{
    place(L"TestComponent.dll", L"TPIOffice");
    place(L"TestComponent.dll", L"TavelInstaller");
    ComponentInstaller::uninstallComponents(folder.path());
    EXPECT_EQ(ids(), (std::vector<uint32_t>{1051305, 1051308, 1051305, 1051308}));
    EXPECT_EQ(recorder.find(1051308).description, L"Dll Unregistration Successful");
    EXPECT_EQ(recorder.find(1051305).description, L"Failed to load DLL");
    EXPECT_EQ(calls(), "unregister\nunregister\n");
}

TEST_F(ComponentInstallerTest, FailingRegistrationExportsAreReported)
{
    const std::wstring path = place(L"TestComponent.dll", L"TPIOffice");
    testsupport::TestProcess::setEnvironment(L"ONDRIVEX_TEST_COMPONENT_RESULT", L"fail");
    EXPECT_FALSE(ComponentInstaller::installComponent(path));
    EXPECT_FALSE(ComponentInstaller::uninstallComponent(path));
    EXPECT_EQ(ids(), (std::vector<uint32_t>{1051303, 1051307}));
    EXPECT_EQ(recorder.find(1051303).description, L"Failed to register DLL");
    EXPECT_EQ(recorder.find(1051307).description, L"Failed to unregister DLL");
    EXPECT_NE(recorder.find(1051303).details.find(L"0x80004005"), std::wstring::npos);
    EXPECT_EQ(calls(), "register\nunregister\n");
}

TEST_F(ComponentInstallerTest, LibrariesWithoutTheExportsAreReported)
{
    const std::wstring path = place(L"TestComponentBare.dll", L"TPIOutlook");
    EXPECT_FALSE(ComponentInstaller::installComponent(path));
    EXPECT_FALSE(ComponentInstaller::uninstallComponent(path));
    EXPECT_EQ(ids(), (std::vector<uint32_t>{1051302, 1051306}));
    EXPECT_EQ(recorder.find(1051302).description, L"Failed to locate DllRegisterServer");
    EXPECT_EQ(recorder.find(1051306).description, L"Failed to locate DllUnregisterServer");
    EXPECT_EQ(calls(), "");
}

TEST_F(ComponentInstallerTest, SuccessfulCallsReturnTrue)
{
    const std::wstring path = place(L"TestComponent.dll", L"TPIOffice");
    EXPECT_TRUE(ComponentInstaller::installComponent(path));
    EXPECT_TRUE(ComponentInstaller::uninstallComponent(path));
    EXPECT_EQ(calls(), "register\nunregister\n");
}

} // namespace
