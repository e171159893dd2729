#include <gtest/gtest.h>

#include <cstring>

#include "base/Exception.h"
#include "base/File.h"
#include "shared/monitoring/Icon.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class IconProbe : public Icon {
public:
    using Icon::addImage;
    using Icon::clearImages;
    using Icon::saveIcon;
};

IconImage entry(uint8_t width, uint32_t declared, uint16_t id)
{
    IconImage im;
    im.entry[0] = width;
    im.entry[1] = width;
    im.entry[4] = 1;
    im.entry[6] = 32;
    for (int i = 0; i < 4; ++i)
        im.entry[8 + i] = static_cast<uint8_t>(declared >> (8 * i));
    im.entry[12] = static_cast<uint8_t>(id);
    return im;
}

std::vector<uint8_t> pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

class IconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        File::initTempPath(false);
        m_stem = testsupport::uniqueName(L"IconTest");
    }
    void TearDown() override
    {
        for (int i = 1; i <= 3; ++i)
            testsupport::removeFile(library(i));
    }
    std::wstring library(int index) const
    {
        wchar_t digits[8];
        std::swprintf(digits, 8, L"%04d", index);
        return File::getTempPath() + File::Separator + m_stem + digits + L".ico";
    }
    // An icon of two images, 16 and 32 pixels.
    static void fill(IconProbe& icon)
    {
        const std::vector<uint8_t> small = pattern(40, 1), large = pattern(296, 9);
        ASSERT_TRUE(icon.addImage(entry(16, 40, 1), small.data(), small.size()));
        ASSERT_TRUE(icon.addImage(entry(32, 296, 2), large.data(), large.size()));
    }
    testsupport::EventRecorder m_events;
    std::wstring m_stem;
};

TEST_F(IconTest, ImagesTakeTheDeclaredBytesButNeverMoreThanTheResource)
{
    IconProbe icon;
    const std::vector<uint8_t> resource = pattern(20, 3);
    EXPECT_TRUE(icon.addImage(entry(16, 8, 1), resource.data(), resource.size()));
    EXPECT_TRUE(icon.addImage(entry(32, 5000, 2), resource.data(), resource.size()));
    ASSERT_EQ(2u, icon.getImages().size());
    EXPECT_EQ(8, icon.getImages()[0].bytes.getSize());
    EXPECT_EQ(20, icon.getImages()[1].bytes.getSize());
    EXPECT_EQ(0, std::memcmp(resource.data(), icon.getImages()[1].bytes.getData(), 20));
    EXPECT_EQ(0, std::memcmp(entry(32, 5000, 2).entry, icon.getImages()[1].entry, 14));
    EXPECT_TRUE(m_events.withId(1062011).empty());
}

TEST_F(IconTest, EmptyAndOversizedImagesAreTracedAndSkipped)
{
    IconProbe icon;
    const std::vector<uint8_t> resource = pattern(64, 5);
    EXPECT_FALSE(icon.addImage(entry(16, 64, 4), resource.data(), 0)); // empty resource
    EXPECT_FALSE(icon.addImage(entry(16, 0, 5), resource.data(), 64)); // entry claims nothing
    EXPECT_FALSE(icon.addImage(entry(16, 64, 6), nullptr, 64));
    EXPECT_TRUE(icon.getImages().empty());

    // Fill the file up to its limit; the next image no longer fits.
    const size_t room =
        IconFile::MaxFileBytes - IconFile::FileHeaderBytes - 2 * IconFile::FileEntryBytes - 64;
    const std::vector<uint8_t> big(room, 0x5A);
    EXPECT_TRUE(icon.addImage(entry(16, 64, 7), resource.data(), resource.size()));
    EXPECT_TRUE(icon.addImage(entry(255, uint32_t(room), 8), big.data(), big.size()));
    EXPECT_FALSE(icon.addImage(entry(16, 1, 9), resource.data(), 1));
    EXPECT_EQ(2u, icon.getImages().size());

    const std::vector<testsupport::CapturedEvent> traced = m_events.withId(1062011);
    ASSERT_EQ(4u, traced.size());
    for (const testsupport::CapturedEvent& e : traced) {
        EXPECT_EQ(L"Corrupt icon image in executable", e.description);
        EXPECT_FALSE(e.logged);
    }
    EXPECT_NE(std::wstring::npos, traced[0].details.find(L"IconID: 4"));

    ByteArray file;
    EXPECT_TRUE(IconFile::layout(icon.getImages(), file));
    EXPECT_EQ(static_cast<int32_t>(IconFile::MaxFileBytes), file.getSize());
    icon.clearImages();
    EXPECT_TRUE(icon.addImage(entry(16, 1, 9), resource.data(), 1));
}

TEST_F(IconTest, LibraryFilesAreNumberedFromOne)
{
    IconProbe first, second;
    fill(first);
    fill(second);
    ASSERT_TRUE(first.saveToLibrary(m_stem.c_str()));
    ASSERT_TRUE(second.saveToLibrary(m_stem.c_str()));
    EXPECT_EQ(library(1), first.getLibraryPath());
    EXPECT_EQ(library(2), second.getLibraryPath());

    ByteArray expected;
    ASSERT_TRUE(IconFile::layout(first.getImages(), expected));
    const std::vector<uint8_t> written = testsupport::readFile(library(1));
    ASSERT_EQ(static_cast<size_t>(expected.getSize()), written.size());
    EXPECT_EQ(0, std::memcmp(expected.getData(), written.data(), written.size()));

    ByteArray bytes(reinterpret_cast<const uint8_t*>("old"), 3);
    ASSERT_TRUE(second.getIconBytes(bytes));
    EXPECT_EQ(expected, bytes);
}

TEST_F(IconTest, NoImagesWriteNoFile)
{
    IconProbe icon;
    EXPECT_FALSE(icon.saveToLibrary(m_stem.c_str()));
    EXPECT_FALSE(testsupport::fileExists(library(1)));
    EXPECT_TRUE(icon.getLibraryPath().empty());
    ByteArray bytes(reinterpret_cast<const uint8_t*>("old"), 3);
    EXPECT_FALSE(icon.getIconBytes(bytes));
    EXPECT_EQ(0, bytes.getSize());
    EXPECT_FALSE(icon.saveToLibrary(nullptr));
}

TEST_F(IconTest, LibraryNameIsFoundFromTheFirstSavedFile)
{
    std::wstring path = L"sentinel";
    Icon unknown;
    EXPECT_FALSE(unknown.getLibraryFileName(m_stem.c_str(), path));
    EXPECT_EQ(L"sentinel", path);

    IconProbe saved;
    fill(saved);
    ASSERT_TRUE(saved.saveToLibrary(m_stem.c_str()));

    Icon fresh;
    ASSERT_TRUE(fresh.getLibraryFileName(m_stem.c_str(), path));
    EXPECT_EQ(library(1), path);
    ByteArray bytes;
    ASSERT_TRUE(fresh.getIconBytes(bytes));
    EXPECT_EQ(testsupport::readFile(library(1)).size(), static_cast<size_t>(bytes.getSize()));

    // A known library path is kept whatever name is asked for.
    ASSERT_TRUE(saved.getLibraryFileName(L"other", path));
    EXPECT_EQ(library(1), path);
}

TEST_F(IconTest, UnwritableLibraryThrows1062001)
{
    testsupport::TempFolder folder(L"IconTestMissing");
    const std::wstring path = folder.file(L"absent") + File::Separator + L"x.ico";
    IconProbe icon;
    fill(icon);
    try {
        icon.saveIcon(path);
        ADD_FAILURE() << "no exception";
    } catch (const SystemException& e) {
        EXPECT_EQ(1062001, e.getExceptionID());
        EXPECT_NE(std::wstring::npos, e.getDescription().find(L"Unable to create file for icon"));
        EXPECT_NE(std::wstring::npos, e.getDescription().find(path));
    }
    EXPECT_TRUE(icon.getLibraryPath().empty());
}

TEST_F(IconTest, CopiesAndMovesKeepImagesAndLibrary)
{
    IconProbe icon;
    fill(icon);
    ASSERT_TRUE(icon.saveToLibrary(m_stem.c_str()));

    Icon copy(icon);
    EXPECT_EQ(icon.getLibraryPath(), copy.getLibraryPath());
    ASSERT_EQ(2u, copy.getImages().size());
    EXPECT_EQ(icon.getImages()[1].bytes, copy.getImages()[1].bytes);

    Icon moved(std::move(copy));
    EXPECT_EQ(icon.getLibraryPath(), moved.getLibraryPath());
    EXPECT_EQ(2u, moved.getImages().size());
    EXPECT_TRUE(copy.getImages().empty());
    EXPECT_TRUE(copy.getLibraryPath().empty());
}

} // namespace
