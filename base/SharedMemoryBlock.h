#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/NativeHandle.h"

#include "base/TCBaseApi.h"

// A named block of memory shared by the processes of one user, created
// zero-filled by whichever process comes first; the others open the same
// block. On Windows it is a page-file-backed mapping that lives while any
// process has it open; natively a POSIX shared-memory object, which lives
// until it is removed.
//
// The two steps are separate so that the caller can change the mapping's
// security between them. Each returns false on failure with the system's
// error code left for the caller to report; the object is then as before.
class TCBASE_API SharedMemoryBlock {
public:
    SharedMemoryBlock();
    ~SharedMemoryBlock(); // close
    SharedMemoryBlock(SharedMemoryBlock&& other);
    SharedMemoryBlock& operator=(SharedMemoryBlock&& other);
    SharedMemoryBlock(const SharedMemoryBlock&) = delete;
    SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

    // Creates or opens the block of the given name and size, read/write.
    // Closes anything held before.
    bool create(const std::wstring& name, size_t size);
    // Maps a view of the whole block with full access. Needs create.
    bool map();
    // Unmaps the view and closes the block; both become none.
    void close();

    // The view, null until map.
    uint8_t* data() const;
    size_t size() const;
    // The mapping (a HANDLE on Windows), null until create; natively null.
    native::Handle getHandle() const;

    // Natively removes the name so that the next create starts from a new,
    // zero-filled block (processes that have it open keep theirs). Windows
    // has nothing to remove: a mapping goes with its last handle.
    static void remove(const std::wstring& name);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;

    // Operating-system half, in win32/SharedMemoryBlock.cpp and
    // posix/SharedMemoryBlock.cpp. Every call that fails leaves the system's
    // error code set; clean-up calls keep it.

    // The system object behind a block: a page-file-backed mapping on
    // Windows, a POSIX shared-memory object natively.
    struct Mapping;
    struct MappingDeleter {
        void operator()(Mapping* mapping) const;
    };
    // Creates or opens the named block of size bytes, zero-filled when new.
    // Null on failure.
    static Mapping* openMapping(const std::wstring& name, size_t size);
    // A read/write view of the first size bytes; null on failure.
    static void* mapView(Mapping& mapping, size_t size);
    static void unmapView(void* view, size_t size);
    // Sets the error code a call on a missing block gets.
    static void setNoBlockError();
    // The mapping's HANDLE on Windows; null natively.
    static native::Handle handleOf(const Mapping& mapping);
    // See remove.
    static void removeName(const std::wstring& name);
};
