#pragma once
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"

class Msg;
class QueueFile;

// The messages bound for the server while it cannot be reached, kept in one
// file so that they outlive the client. First in, first out.
//
// The file, all integers 32-bit little-endian:
//   0        25,600 bytes  table: 3200 pairs (record offset, record length),
//                          oldest first; the first pair whose offset is 0
//                          ends the list and every pair after it is zero
//   25,600   ...           records, appended one after the other
// A record is a message's wire form followed by the 20-byte SHA-1 digest of
// those bytes; its length counts both. Taking the oldest message shifts the
// table down one pair and leaves the record's bytes behind as dead space,
// reclaimed when the queue empties (the file is recreated) or by compaction
// (a push that finds the file above 25,000,000 bytes). At 3200 messages a
// push drops the oldest.
//
// Everything read from the file is checked before it is trusted: a table
// entry that cannot be a record, or a record whose digest or wire form is
// wrong, is dropped alone (traced with its position), never the queue.
//
// No lock: the owner serialises the calls. Other processes may have the
// file open at the same time. Nothing is thrown; failures are traced.
class TCSHRD_API FileMsgQueue {
public:
    static constexpr int s_TABLE_SIZE = 25600;               // bytes
    static constexpr int s_TABLE_ENTRIES = s_TABLE_SIZE / 4; // 6400 integers
    static constexpr int s_CAPACITY = s_TABLE_ENTRIES / 2;   // 3200 messages
    static constexpr int s_DIGEST_SIZE = 20;
    static constexpr int64_t s_COMPACTION_THRESHOLD = 25000000;

    // The queue in File::getTempPath() + separator + fileName; creates the
    // file (empty, hidden) when there is none. Makes the folder when missing.
    explicit FileMsgQueue(const std::wstring& fileName);
    // The same on a file object the queue takes over (tests hand in one that
    // fails where they want it to).
    explicit FileMsgQueue(std::unique_ptr<QueueFile> file);
    // Does not write the table: every operation has written it on close.
    virtual ~FileMsgQueue();
    FileMsgQueue(const FileMsgQueue&) = delete;
    FileMsgQueue& operator=(const FileMsgQueue&) = delete;

    // Opens the file unless open and loads (and checks) the table; a file
    // that cannot be opened, or is too short for the table, is recreated.
    // True when open.
    bool open();
    // Writes the table over the file's first 25,600 bytes and closes it.
    void close();
    // Queued messages; 0 before the file was first opened.
    int getSize() const;
    // Appends msg and destroys it, whether or not it could be stored. When
    // the record cannot be written whole, the table is left as it was (the
    // message is lost, traced 1063504).
    void pushMessage(Msg* msg);
    // The oldest intact message, owned by the caller, or null. Records that
    // fail their digest or do not parse are dropped on the way (1063501).
    Msg* popMessage();

    const std::wstring& getPath() const;

    // The dump of every intact queued message, without removing any.
    friend TCSHRD_API std::wostream& operator<<(std::wostream& out, FileMsgQueue& queue);

protected:
    // Empties the queue: a new file of 25,600 zero bytes, left open.
    void create();
    // Moves the live records to the front of the file when dead space is
    // there (the file must be open).
    void compress();
    // The number of used table entries: the index of the first pair whose
    // offset is 0 (0 to 6400).
    int queue_pos() const;

private:
    bool loadTable();
    void dropFirstPair();
    bool writeTable();
    static void trace(uint32_t id, const std::wstring& text, int type, int position, int64_t offset,
                      int64_t length, const std::wstring& reason);

    int m_entries = -1;
    std::unique_ptr<QueueFile> m_file;
    std::wstring m_path;
    int32_t m_table[s_TABLE_ENTRIES];
};

TCSHRD_API std::wostream& operator<<(std::wostream& out, FileMsgQueue& queue);
