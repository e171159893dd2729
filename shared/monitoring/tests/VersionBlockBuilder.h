#pragma once
// Builds version blocks byte by byte, independently of the reader, in the
// layout resource compilers write.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace montest {

struct VNode {
    std::u16string key;
    uint16_t type = 0; // 1 text, 0 binary
    std::vector<uint8_t> value;
    uint16_t valueLength = 0; // as stored: characters for text, bytes for binary
    std::vector<VNode> children;
    // When set, stored instead of the computed length.
    int lengthOverride = -1;
};

VNode textNode(const std::u16string& key, const std::u16string& text);
VNode binaryNode(const std::u16string& key, const std::vector<uint8_t>& bytes);
VNode blockNode(const std::u16string& key, std::vector<VNode> children);

// The node's bytes; every node starts 4-aligned relative to the result.
std::vector<uint8_t> serialize(const VNode& node);

using StringTable =
    std::pair<std::u16string, std::vector<std::pair<std::u16string, std::u16string>>>;

// A whole VS_VERSION_INFO: fixed file information, the string tables in
// order and a translation entry holding the given language/code-page pairs.
std::vector<uint8_t> versionInfo(const std::vector<StringTable>& tables,
                                 const std::vector<std::pair<uint16_t, uint16_t>>& translations);

} // namespace montest
