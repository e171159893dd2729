#pragma once
// The operating-system side of SharedMemoryBlock. Every call that fails
// leaves the system's error code set; clean-up calls keep it.
#include <cstddef>
#include <string>

namespace sharedmemoryplatform {

// The system object behind a block: a page-file-backed mapping on Windows,
// a POSIX shared-memory object natively. Each platform file defines it.
struct Mapping;

// Creates or opens the named block of size bytes, zero-filled when new.
// Null on failure.
Mapping* open(const std::wstring& name, size_t size);
// Closes what open gave (null is ignored).
void close(Mapping* mapping);
// A read/write view of the first size bytes; null on failure.
void* map(Mapping& mapping, size_t size);
void unmap(void* view, size_t size);
// Sets the error code a call on a missing block gets.
void setNoBlockError();
// The mapping's HANDLE on Windows; null natively.
void* handle(const Mapping& mapping);
// See SharedMemoryBlock::remove.
void remove(const std::wstring& name);

} // namespace sharedmemoryplatform
