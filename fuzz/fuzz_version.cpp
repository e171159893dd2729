// Version blocks come from whatever program the user runs: any bytes must be
// read without a fault, and the fields must still come out usable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exception.h"
#include "shared/monitoring/Version.h"
#include "shared/monitoring/VersionBlock.h"

namespace {

class FuzzedVersion : public Version {
public:
    void read(const VersionBlock& block)
    {
        try {
            readBlock(block, L"fuzzed.exe");
        } catch (const Exception&) {
            // no translation: the fields are filled from the name all the same
        }
    }
};

const wchar_t* const Paths[] = {L"\\",
                                L"",
                                L"\\VarFileInfo\\Translation",
                                L"\\StringFileInfo\\040904E4\\CompanyName",
                                L"\\StringFileInfo\\040904b0\\FileVersion",
                                L"StringFileInfo\\\\040704b0\\ProductName\\",
                                L"\\StringFileInfo",
                                L"\\StringFileInfo\\040904E4",
                                L"\\a\\b\\c\\d\\e\\f"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const VersionBlock block(data, size);
    for (const wchar_t* path : Paths) {
        VersionBlock::Value value;
        if (block.query(path, value)) {
            // A value never reaches outside the block.
            if (value.data < data || value.data + value.available > data + size)
                __builtin_trap();
        }
        std::wstring text;
        block.queryText(path, text);
        if (text.size() > size / 2)
            __builtin_trap();
    }

    FuzzedVersion version;
    version.read(block);
    if (std::wstring(version.getFileDescription()).empty() ||
        std::wstring(version.getOriginalFilename()).empty() ||
        std::wstring(version.getInternalName()).empty() ||
        std::wstring(version.getProductName()).empty())
        __builtin_trap();
    return 0;
}
