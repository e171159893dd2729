#include "VersionBlockBuilder.h"

namespace montest {
namespace {

void pad4(std::vector<uint8_t>& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void put16(std::vector<uint8_t>& out, size_t at, uint16_t value)
{
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void append16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void write(const VNode& node, std::vector<uint8_t>& out)
{
    pad4(out);
    const size_t start = out.size();
    append16(out, 0); // length, patched below
    append16(out, node.valueLength);
    append16(out, node.type);
    for (char16_t c : node.key)
        append16(out, static_cast<uint16_t>(c));
    append16(out, 0);
    pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VNode& child : node.children)
        write(child, out);
    const size_t length =
        node.lengthOverride >= 0 ? size_t(node.lengthOverride) : out.size() - start;
    put16(out, start, static_cast<uint16_t>(length));
}

} // namespace

VNode textNode(const std::u16string& key, const std::u16string& text)
{
    VNode node;
    node.key = key;
    node.type = 1;
    for (char16_t c : text) {
        node.value.push_back(static_cast<uint8_t>(c));
        node.value.push_back(static_cast<uint8_t>(c >> 8));
    }
    node.value.push_back(0);
    node.value.push_back(0);
    node.valueLength = static_cast<uint16_t>(text.size() + 1);
    return node;
}

VNode binaryNode(const std::u16string& key, const std::vector<uint8_t>& bytes)
{
    VNode node;
    node.key = key;
    node.type = 0;
    node.value = bytes;
    node.valueLength = static_cast<uint16_t>(bytes.size());
    return node;
}

VNode blockNode(const std::u16string& key, std::vector<VNode> children)
{
    VNode node;
    node.key = key;
    node.type = 1;
    node.children = std::move(children);
    return node;
}

std::vector<uint8_t> serialize(const VNode& node)
{
    std::vector<uint8_t> out;
    write(node, out);
    return out;
}

std::vector<uint8_t> versionInfo(const std::vector<StringTable>& tables,
                                 const std::vector<std::pair<uint16_t, uint16_t>>& translations)
{
    std::vector<uint8_t> fixed(52, 0);
    fixed[0] = 0xBD; // signature 0xFEEF04BD
    fixed[1] = 0x04;
    fixed[2] = 0xEF;
    fixed[3] = 0xFE;
    fixed[6] = 1; // structure version 1.0

    std::vector<VNode> tableNodes;
    for (const StringTable& table : tables) {
        std::vector<VNode> strings;
        for (const auto& entry : table.second)
            strings.push_back(textNode(entry.first, entry.second));
        tableNodes.push_back(blockNode(table.first, std::move(strings)));
    }
    std::vector<uint8_t> pairs;
    for (const auto& t : translations) {
        pairs.push_back(static_cast<uint8_t>(t.first));
        pairs.push_back(static_cast<uint8_t>(t.first >> 8));
        pairs.push_back(static_cast<uint8_t>(t.second));
        pairs.push_back(static_cast<uint8_t>(t.second >> 8));
    }

    VNode root = binaryNode(u"VS_VERSION_INFO", fixed);
    root.children.push_back(blockNode(u"StringFileInfo", std::move(tableNodes)));
    root.children.push_back(blockNode(u"VarFileInfo", {binaryNode(u"Translation", pairs)}));
    return serialize(root);
}

} // namespace montest
