#include <gtest/gtest.h>

#include <cstring>

#include "base/Exception.h"
#include "base/File.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/Icon.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

uint32_t le32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

class IconWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        File::initTempPath(false);
        m_stem = testsupport::uniqueName(L"IconWin32Test");
    }
    void TearDown() override { testsupport::removeFile(library()); }
    static std::wstring program(const wchar_t* name)
    {
        return testsupport::binFolder() + L"\\" + name;
    }
    std::wstring library() const { return File::getTempPath() + L"\\" + m_stem + L"0001.ico"; }

    testsupport::EventRecorder m_events;
    std::wstring m_stem;
};

TEST_F(IconWin32Test, FirstGroupOfThreeImagesBecomesAnIcoFile)
{
    Icon icon;
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(icon.getIconFromExecutable(program(L"mon_res_icons.exe").c_str()));
    // The named group comes first; the numbered one (a 24-pixel image) is not taken.
    ASSERT_EQ(3u, icon.getImages().size());
    const uint8_t widths[] = {16, 32, 48};
    const uint16_t bits[] = {4, 8, 32};
    for (size_t i = 0; i < 3; ++i) {
        const IconImage& image = icon.getImages()[i];
        EXPECT_EQ(widths[i], image.width());
        EXPECT_EQ(widths[i], image.height());
        EXPECT_EQ(bits[i], image.bitCount());
        EXPECT_EQ(image.declaredBytes(), static_cast<uint32_t>(image.bytes.getSize()));
        // Each image is a bitmap whose header gives the same width.
        ASSERT_GE(image.bytes.getSize(), 40);
        EXPECT_EQ(40u, le32(image.bytes.getData()));
        EXPECT_EQ(widths[i], le32(image.bytes.getData() + 4));
    }
    EXPECT_TRUE(m_events.withId(1062003).empty());

    ASSERT_TRUE(icon.saveToLibrary(m_stem.c_str()));
    EXPECT_EQ(library(), icon.getLibraryPath());
    const std::vector<uint8_t> file = testsupport::readFile(library());
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(54u, le32(file.data() + 6 + 12));
    EXPECT_EQ(0, std::memcmp(file.data() + 54, icon.getImages()[0].bytes.getData(),
                             static_cast<size_t>(icon.getImages()[0].bytes.getSize())));

    ByteArray bytes;
    ASSERT_TRUE(icon.getIconBytes(bytes));
    ASSERT_EQ(file.size(), static_cast<size_t>(bytes.getSize()));
    EXPECT_EQ(0, std::memcmp(file.data(), bytes.getData(), file.size()));
}

TEST_F(IconWin32Test, LibraryLoadsAsA32PixelIcon)
{
    Icon icon;
    ASSERT_TRUE(icon.getIconFromExecutable(program(L"mon_res_icons.exe").c_str()));
    EXPECT_EQ(nullptr, icon.getHICON()); // nothing saved yet
    ASSERT_TRUE(icon.saveToLibrary(m_stem.c_str()));
    HICON handle = icon.getHICON();
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(handle, icon.getHICON()); // loaded once

    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(handle, &info));
    BITMAP colour = {};
    ASSERT_NE(0, GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof colour,
                            &colour));
    EXPECT_EQ(32, colour.bmWidth);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST_F(IconWin32Test, GroupKnownByNumber)
{
    Icon icon;
    ASSERT_TRUE(icon.getIconFromExecutable(program(L"mon_res_us.exe").c_str()));
    ASSERT_EQ(1u, icon.getImages().size());
    EXPECT_EQ(24, icon.getImages()[0].width());
    EXPECT_EQ(8, icon.getImages()[0].bitCount());
}

TEST_F(IconWin32Test, ProgramWithoutIconWritesNothing)
{
    for (const wchar_t* name : {L"mon_res_full.exe", L"mon_res_plain.exe"}) {
        Icon icon;
        EXPECT_FALSE(icon.getIconFromExecutable(program(name).c_str()));
        EXPECT_TRUE(icon.getImages().empty());
        EXPECT_FALSE(icon.saveToLibrary(m_stem.c_str()));
        EXPECT_FALSE(testsupport::fileExists(library()));
        std::wstring path = L"sentinel";
        EXPECT_FALSE(icon.getLibraryFileName(m_stem.c_str(), path));
        EXPECT_EQ(L"sentinel", path);
    }
    EXPECT_TRUE(m_events.withId(1062003).empty());
}

TEST_F(IconWin32Test, UnreadableFileThrows1062002)
{
    testsupport::TempFolder folder(L"IconWin32Test");
    const std::wstring text = folder.file(L"not a program.exe");
    testsupport::writeFile(text, std::vector<uint8_t>{'M', 'Z', 0, 0, 'n', 'o'});
    for (const std::wstring& path : {program(L"no such program.exe"), text}) {
        Icon icon;
        try {
            icon.getIconFromExecutable(path.c_str());
            ADD_FAILURE() << "no exception";
        } catch (const SystemException& e) {
            EXPECT_EQ(1062002, e.getExceptionID());
            EXPECT_NE(
                std::wstring::npos,
                e.getDescription().find(L"Unable to load application module to read resources"));
            EXPECT_NE(std::wstring::npos, e.getDescription().find(path));
        }
    }
}

} // namespace
