#include <gtest/gtest.h>

#include <memory>

#include "VersionBlockBuilder.h"
#include "shared/monitoring/VersionBlock.h"

using montest::binaryNode;
using montest::blockNode;
using montest::serialize;
using montest::textNode;
using montest::VNode;

namespace {

const std::vector<montest::StringTable> Tables = {
    {u"040704b0", {{u"CompanyName", u"Kelmscott Werkstatt"}, {u"FileVersion", u"2, 7, 1, 1"}}},
    {u"040904E4", {{u"CompanyName", u"Decoy"}, {u"ProductName", u"Ledger"}}},
};

class VersionBlockTest : public ::testing::Test {
protected:
    // A copy on the heap of exactly the given size, so that the address
    // sanitizer sees any read past the block.
    static std::unique_ptr<uint8_t[]> exact(const std::vector<uint8_t>& bytes, size_t size)
    {
        std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), copy.get());
        return copy;
    }
};

TEST_F(VersionBlockTest, FindsValuesIgnoringCaseAndEmptyPathComponents)
{
    const std::vector<uint8_t> bytes = montest::versionInfo(Tables, {{0x0407, 0x04b0}});
    const VersionBlock block(bytes.data(), bytes.size());

    std::wstring text = L"sentinel";
    ASSERT_TRUE(block.queryText(L"\\StringFileInfo\\040704B0\\CompanyName", text));
    EXPECT_EQ(L"Kelmscott Werkstatt", text);
    text = L"sentinel";
    ASSERT_TRUE(block.queryText(L"stringfileinfo\\\\040704b0\\COMPANYNAME\\", text));
    EXPECT_EQ(L"Kelmscott Werkstatt", text);
    ASSERT_TRUE(block.queryText(L"\\StringFileInfo\\040904e4\\ProductName", text));
    EXPECT_EQ(L"Ledger", text);
}

TEST_F(VersionBlockTest, MissingPathsFailWithoutTouchingOutputs)
{
    const std::vector<uint8_t> bytes = montest::versionInfo(Tables, {{0x0407, 0x04b0}});
    const VersionBlock block(bytes.data(), bytes.size());

    std::wstring text = L"sentinel";
    EXPECT_FALSE(block.queryText(L"\\StringFileInfo\\040704b0\\ProductName", text));
    EXPECT_FALSE(block.queryText(L"\\StringFileInfo\\040704b0\\CompanyNam", text));
    EXPECT_FALSE(block.queryText(L"\\StringFileInfo\\040704b0\\CompanyNameX", text));
    EXPECT_EQ(L"sentinel", text);

    const VersionBlock none(nullptr, 100);
    EXPECT_FALSE(none.queryText(L"\\", text));
    EXPECT_EQ(L"sentinel", text);
}

TEST_F(VersionBlockTest, RootGivesFixedInformationAndTranslationGivesFirstPair)
{
    const std::vector<uint8_t> bytes =
        montest::versionInfo(Tables, {{0x0407, 0x04b0}, {0x0409, 0x04e4}});
    const VersionBlock block(bytes.data(), bytes.size());

    VersionBlock::Value value;
    ASSERT_TRUE(block.query(L"\\", value));
    EXPECT_FALSE(value.isText);
    EXPECT_EQ(52, value.declaredLength);
    ASSERT_GE(value.available, 4u);
    EXPECT_EQ(0xBD, value.data[0]);
    EXPECT_EQ(0xFE, value.data[3]);

    uint16_t language = 0xDEAD, codePage = 0xBEEF;
    ASSERT_TRUE(block.queryTranslation(language, codePage));
    EXPECT_EQ(0x0407, language);
    EXPECT_EQ(0x04b0, codePage);
}

TEST_F(VersionBlockTest, TranslationShorterThanOnePairIsNone)
{
    for (const std::vector<uint8_t>& pairs :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{0x09, 0x04}}) {
        VNode root = binaryNode(u"VS_VERSION_INFO", {});
        root.children.push_back(blockNode(u"VarFileInfo", {binaryNode(u"Translation", pairs)}));
        // A few bytes follow the short value, so only the length can tell.
        root.children.push_back(binaryNode(u"Padding", {1, 2, 3, 4, 5, 6, 7, 8}));
        const std::vector<uint8_t> bytes = serialize(root);
        const VersionBlock block(bytes.data(), bytes.size());
        uint16_t language = 0xDEAD, codePage = 0xBEEF;
        EXPECT_FALSE(block.queryTranslation(language, codePage)) << pairs.size();
        EXPECT_EQ(0xDEAD, language);
        EXPECT_EQ(0xBEEF, codePage);
    }
}

TEST_F(VersionBlockTest, TextWithoutTerminatorStopsAtTheEndOfItsNode)
{
    VNode unterminated = textNode(u"A", u"abc");
    unterminated.value.resize(6); // drop the terminator
    unterminated.valueLength = 3;
    VNode root = blockNode(u"VS_VERSION_INFO", {unterminated, textNode(u"B", u"xyz")});
    const std::vector<uint8_t> bytes = serialize(root);
    const auto copy = exact(bytes, bytes.size());
    const VersionBlock block(copy.get(), bytes.size());

    std::wstring text;
    ASSERT_TRUE(block.queryText(L"A", text));
    EXPECT_EQ(L"abc", text);
    ASSERT_TRUE(block.queryText(L"B", text));
    EXPECT_EQ(L"xyz", text);
}

TEST_F(VersionBlockTest, NodesClaimingMoreThanTheirParentAreCutAtItsEnd)
{
    VNode greedy = textNode(u"Greedy", u"0123456789");
    greedy.lengthOverride = 0xFFF0;
    VNode table = blockNode(u"T", {greedy});
    VNode root = blockNode(u"VS_VERSION_INFO", {table, textNode(u"After", u"ZZZZ")});
    const std::vector<uint8_t> bytes = serialize(root);
    const VersionBlock block(bytes.data(), bytes.size());

    std::wstring text;
    ASSERT_TRUE(block.queryText(L"T\\Greedy", text));
    EXPECT_EQ(L"0123456789", text);
    ASSERT_TRUE(block.queryText(L"After", text));
    EXPECT_EQ(L"ZZZZ", text);
}

TEST_F(VersionBlockTest, MalformedChildrenEndTheSearch)
{
    VNode empty = textNode(u"Empty", u"x");
    empty.lengthOverride = 0; // the system's query stops at such a node
    VNode root = blockNode(u"VS_VERSION_INFO", {empty, textNode(u"Later", u"y")});
    std::vector<uint8_t> bytes = serialize(root);
    VersionBlock block(bytes.data(), bytes.size());
    std::wstring text = L"sentinel";
    EXPECT_FALSE(block.queryText(L"Later", text));
    EXPECT_FALSE(block.queryText(L"Empty", text));

    // A key that runs to the end of the block without a terminator.
    VNode unterminated = blockNode(u"VS_VERSION_INFO", {textNode(u"Key", u"")});
    bytes = serialize(unterminated);
    bytes.resize(bytes.size() - 6); // cut the value, the padding and the key's terminator
    bytes[0] = static_cast<uint8_t>(bytes.size());
    const auto copy = exact(bytes, bytes.size());
    block = VersionBlock(copy.get(), bytes.size());
    EXPECT_FALSE(block.queryText(L"Key", text));
    EXPECT_EQ(L"sentinel", text);
}

TEST_F(VersionBlockTest, TruncatedBlocksGiveOnlyPrefixesOfTheirValues)
{
    const std::vector<uint8_t> bytes = montest::versionInfo(Tables, {{0x0407, 0x04b0}});
    const std::vector<std::wstring> paths = {
        L"\\StringFileInfo\\040704b0\\CompanyName", L"\\StringFileInfo\\040704b0\\FileVersion",
        L"\\StringFileInfo\\040904E4\\CompanyName", L"\\StringFileInfo\\040904E4\\ProductName"};
    std::vector<std::wstring> whole;
    for (const std::wstring& path : paths) {
        std::wstring text;
        ASSERT_TRUE(VersionBlock(bytes.data(), bytes.size()).queryText(path, text)) << path.size();
        whole.push_back(text);
    }

    for (size_t size = 0; size < bytes.size(); ++size) {
        const auto copy = exact(bytes, size);
        const VersionBlock block(copy.get(), size);
        for (size_t i = 0; i < paths.size(); ++i) {
            std::wstring text;
            if (block.queryText(paths[i], text)) {
                EXPECT_EQ(0, whole[i].compare(0, text.size(), text)) << "size " << size;
            }
        }
        uint16_t language = 0, codePage = 0;
        if (block.queryTranslation(language, codePage)) {
            EXPECT_EQ(0x0407, language);
            EXPECT_EQ(0x04b0, codePage);
        }
        if (size < 6) {
            VersionBlock::Value value;
            EXPECT_FALSE(block.query(L"\\", value));
        }
    }
}

TEST_F(VersionBlockTest, TextOutsideTheBasicPlaneSurvives)
{
    VNode root = blockNode(u"VS_VERSION_INFO", {textNode(u"Smile", u"a\U0001F600z\u00e9")});
    const std::vector<uint8_t> bytes = serialize(root);
    const VersionBlock block(bytes.data(), bytes.size());
    std::wstring text;
    ASSERT_TRUE(block.queryText(L"Smile", text));
    EXPECT_EQ(L"a\U0001F600z\u00e9", text);
}

} // namespace
