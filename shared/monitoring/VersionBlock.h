#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/TCShrdApi.h"

// Reads the version information of an executable in the form the system's
// version API hands it out: a tree of nodes, each
//
//   length (16 bits, bytes of the node with its children)
//   value length (16 bits: characters for text, bytes for binary values)
//   type (16 bits: 1 text, 0 binary)
//   key (UTF-16, terminated), padding to 4 bytes, value, padding to 4 bytes,
//   children
//
// with every offset aligned relative to the start of the block. Look-ups
// follow the rules of VerQueryValue, so that callers see what the system's
// own query would give: components separated by backslashes, empty
// components skipped, keys compared ignoring ASCII case, the first match wins.
//
// The bytes come from any program the user runs and are treated as hostile:
// every length is checked against the node that holds it and against the
// buffer, so a malformed block only makes look-ups fail.
// The 16-bit layout of NE files (no type field, ANSI keys) is not read.
class TCSHRD_API VersionBlock {
public:
    // Neither copies nor owns the bytes; they must outlive the object.
    VersionBlock(const void* data, size_t size);

    struct Value {
        const uint8_t* data = nullptr; // start of the value inside the block
        size_t available = 0;          // bytes from data to the end of its node
        uint16_t declaredLength = 0;   // the node's own value length field
        bool isText = false;
    };

    // The node at the path; "\" and "" give the root. False when the path
    // does not lead to a well-formed node; value is then untouched.
    bool query(const std::wstring& path, Value& value) const;

    // The value of the node at the path read as text: UTF-16 code units up to
    // the first terminator or the end of the node, whatever the type field
    // says (some resource compilers mark strings binary, and the system's
    // query returns the pointer either way). False leaves text untouched.
    bool queryText(const std::wstring& path, std::wstring& text) const;

    // The first language and code page of "\VarFileInfo\Translation". False
    // when the entry is missing or holds less than one pair; outputs are then
    // untouched.
    bool queryTranslation(uint16_t& language, uint16_t& codePage) const;

private:
    struct Node {
        size_t start = 0;
        size_t end = 0; // one past the node (clamped to its parent)
        size_t keyStart = 0;
        size_t keyUnits = 0;
        size_t valueStart = 0;
        size_t childrenStart = 0;
        uint16_t valueLength = 0;
        uint16_t type = 0;
    };

    bool readNode(size_t offset, size_t limit, Node& node) const;
    bool keyEquals(const Node& node, const wchar_t* key, size_t keyLength) const;
    uint16_t read16(size_t offset) const;

    const uint8_t* m_data;
    size_t m_size;
};
