#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include "shared/TCShrdApi.h"

// The file under a FileMsgQueue: raw, positioned reads and writes on one
// path, shared with other processes for reading and writing. The operations
// are virtual so that tests can stand a failing disk in for the real one.
// None of them throws; failures are reported by the results, with the
// system error left set.
class TCSHRD_API QueueFile {
public:
    explicit QueueFile(const std::wstring& path);
    virtual ~QueueFile(); // closes the file
    QueueFile(const QueueFile&) = delete;
    QueueFile& operator=(const QueueFile&) = delete;

    const std::wstring& getPath() const { return m_path; }

    // Opens the file for reading and writing, others may read and write it
    // too. create: creates it, or empties an existing one, with the hidden
    // attribute from the start; otherwise only an existing file opens.
    virtual bool open(bool create);
    virtual bool isOpen() const;
    virtual void close();
    virtual bool size(int64_t& bytes);
    // All n bytes at offset, or false.
    virtual bool readAt(int64_t offset, void* data, size_t n);
    virtual bool writeAt(int64_t offset, const void* data, size_t n);
    // Pushes what was written to the disk itself (before a replace, so that
    // the replacement is whole when it takes the queue's place).
    virtual bool sync();
    // Adds the hidden attribute (nothing to do natively, where a file has no
    // such attribute: true).
    virtual bool setHidden();
    // Deletes the file at the path (closing it first).
    virtual bool remove();
    // Puts the file at source in the place of this path in one step: the
    // path names either the old file or the new one, never nothing. Closes
    // this file first.
    virtual bool replaceWith(const std::wstring& source);
    // A file of the same kind at another path (the compaction's work file).
    virtual std::unique_ptr<QueueFile> sibling(const std::wstring& path) const;

private:
    std::wstring m_path;
    intptr_t m_handle = -1; // descriptor or HANDLE; -1 when closed
};
