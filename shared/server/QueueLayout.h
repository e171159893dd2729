#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "shared/TCShrdApi.h"

class ByteArray;
class Msg;

// The queue file as data: its records, its table of (offset, length) pairs
// and its dump, for the queue itself and for the tools that read a queue
// file without changing it.
class TCSHRD_API QueueLayout {
public:
    // One record checked: the message (owned by the caller) or null with
    // the reason it is not one.
    static Msg* decodeRecord(const ByteArray& record, std::wstring& reason);
    // The message's record: wire form and digest.
    static void encodeRecord(const Msg& msg, ByteArray& record);
    // The live pairs of a table read from a file of fileSize bytes, each
    // (offset, length) a possible record: inside the record area and the
    // file, longer than a digest, and not overlapping an earlier one. The
    // others are left out, and their positions and reasons put in dropped.
    struct Entry {
        int position; // in the table's list of pairs, oldest 0
        int64_t offset;
        int64_t length;
    };
    struct Dropped {
        int position;
        int64_t offset;
        int64_t length;
        std::wstring reason;
    };
    static std::vector<Entry> checkTable(const int32_t* table, int64_t fileSize,
                                         std::vector<Dropped>& dropped);
    // The diagnostic dump: "Message Queue:" and a line per message with its
    // position, the time of "EventTime" and what changed.
    static void writeDump(std::wostream& out,
                          const std::vector<std::pair<int, const Msg*>>& messages);

    // Why the pair (offset, length) cannot name a record of a file of
    // fileSize bytes whose previous record ends at end; null when it can.
    static const wchar_t* entryProblem(int64_t offset, int64_t length, int64_t fileSize,
                                       int64_t end);
};
