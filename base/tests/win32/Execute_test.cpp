#include <gtest/gtest.h>

#include <filesystem>

#include "base/Execute.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

// Unquoted, "...\odx exec\base_exec_probe.exe" would first be tried as the
// program "...\odx.exe" with the rest as its arguments. A decoy of that
// name stands ready to take the call.
TEST(ExecuteWindowsTest, AFolderWithBlanksIsNotMistakenForAShorterProgram)
{
    TempFolder parent(L"exec-blank");
    TempFolder markers(L"exec-blank-markers");
    const fs::path folder = fs::path(parent.path()) / L"odx exec";
    fs::create_directory(folder);
    const fs::path probe = testsupport::helperProgram(L"base_exec_probe");
    const fs::path library = fs::path(testsupport::binFolder()) / L"TCBase.dll";
    fs::copy_file(probe, folder / probe.filename());
    fs::copy_file(library, folder / library.filename());
    fs::copy_file(probe, fs::path(parent.path()) / L"odx.exe");
    fs::copy_file(library, fs::path(parent.path()) / library.filename());

    EXPECT_TRUE(Execute::exec(probe.filename().wstring() + L" \"" + markers.path() + L"\" 0",
                              folder.wstring()));
    EXPECT_TRUE(testsupport::fileExists(markers.file(L"finished")));
}

} // namespace
