#include "tools/tcmsg/Tcmsg.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "base/ScopedGeneric.h"
#include "base/Utf16.h"
#include "base/LittleEndian.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/QueueLayout.h"

#include <memory>
#include <sstream>

namespace {

const int kOk = 0;
const int kUsage = 1;
const int kMalformed = 2;

void writeOut(const std::string& bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void writeErr(const std::string& bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

// Reads the whole file; false when it cannot be read or does not fit a
// ByteArray.
struct FileTraits {
    using Handle = std::FILE*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle f) { return f != nullptr; }
    static void free(Handle f) { std::fclose(f); }
};

bool readFile(const std::string& path, ByteArray& out)
{
    const ScopedGeneric<FileTraits> file(Tcmsg::openForReading(path));
    if (!file)
        return false;
    std::FILE* f = file.get();
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    bool ok = true;
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, f);
        data.insert(data.end(), chunk, chunk + n);
        if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            ok = false;
            break;
        }
        if (n < sizeof chunk) {
            ok = std::ferror(f) == 0;
            break;
        }
    }
    if (ok)
        out.copyData(data.data(), static_cast<int32_t>(data.size()));
    return ok;
}

std::string describe(const Exception& e)
{
    return std::to_string(e.getExceptionID()) + " " + Utf16::toUtf8(e.getDescription());
}

int decode(const std::vector<std::string>& args)
{
    const std::string& path = args[0];
    ByteArray data;
    if (!readFile(path, data)) {
        writeErr("tcmsg: cannot read " + path + "\n");
        return kUsage;
    }
    Msg msg;
    // The listing shows what the file carries, not the type a new message
    // starts with.
    msg.removeIntAttribute(L"MsgType");
    try {
        msg.fromByteArray(data);
    } catch (const CommsException& e) {
        writeErr("tcmsg: " + path + ": malformed message: " + describe(e) + "\n");
        return kMalformed;
    }
    std::wstring listing;
    msg.toString(listing);
    writeOut(Utf16::toUtf8(listing));
    return kOk;
}

// The queue file read as it lies, without the queue's own file handling,
// which would write the table back (and recreate a file it cannot use).
int queue(const std::vector<std::string>& args)
{
    const std::string& path = args[0];
    ByteArray data;
    if (!readFile(path, data)) {
        writeErr("tcmsg: cannot read " + path + "\n");
        return kUsage;
    }
    const int32_t size = data.getSize();
    if (size < FileMsgQueue::s_TABLE_SIZE) {
        writeErr("tcmsg: " + path + ": not a message queue: " + std::to_string(size) +
                 " bytes, too short for the " + std::to_string(FileMsgQueue::s_TABLE_SIZE) +
                 "-byte table\n");
        return kMalformed;
    }
    std::vector<int32_t> table(FileMsgQueue::s_TABLE_ENTRIES);
    const uint8_t* p = data.getData();
    for (size_t i = 0; i < table.size(); ++i, p += 4)
        table[i] = LittleEndian::readI32(p);
    std::vector<QueueLayout::Dropped> dropped;
    const std::vector<QueueLayout::Entry> live =
        QueueLayout::checkTable(table.data(), size, dropped);
    auto where = [](int position, int64_t offset, int64_t length) {
        return "entry " + std::to_string(position) + " (offset " + std::to_string(offset) +
               ", length " + std::to_string(length) + ")";
    };
    for (const QueueLayout::Dropped& d : dropped)
        writeErr("tcmsg: " + path + ": damaged " + where(d.position, d.offset, d.length) + ": " +
                 Utf16::toUtf8(d.reason) + "\n");

    std::vector<std::unique_ptr<Msg>> messages;
    std::vector<std::pair<int, const Msg*>> listed;
    std::vector<ByteArray> bodies;
    for (const QueueLayout::Entry& e : live) {
        ByteArray record(data.getData() + e.offset, static_cast<int32_t>(e.length));
        std::wstring reason;
        std::unique_ptr<Msg> msg(QueueLayout::decodeRecord(record, reason));
        if (msg == nullptr) {
            writeErr("tcmsg: " + path + ": damaged " + where(e.position, e.offset, e.length) +
                     ": " + Utf16::toUtf8(reason) + "\n");
            continue;
        }
        listed.emplace_back(e.position, msg.get());
        messages.push_back(std::move(msg));
        bodies.emplace_back(record.getData(), record.getSize() - FileMsgQueue::s_DIGEST_SIZE);
    }
    std::wostringstream dump;
    QueueLayout::writeDump(dump, listed);
    std::string out = Utf16::toUtf8(dump.str());
    for (size_t i = 0; i < listed.size(); ++i) {
        // As decode lists it: what the record carries, not a new message's type.
        Msg msg;
        msg.removeIntAttribute(L"MsgType");
        msg.fromByteArray(bodies[i]);
        std::wstring listing;
        msg.toString(listing);
        out += "Message " + std::to_string(listed[i].first) + ":\r\n" + Utf16::toUtf8(listing);
    }
    writeOut(out);
    return kOk;
}

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    size_t argumentCount;
    int (*handler)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"decode", "FILE", "print the attributes of the wire-form message in FILE", 1, decode},
    {"queue", "FILE",
     "print the dump and every message of the message queue FILE, leaving it unchanged", 1, queue},
};

int usage(const std::string& problem)
{
    std::string text;
    if (!problem.empty())
        text += "tcmsg: " + problem + "\n";
    text += "usage:\n";
    for (const Command& c : kCommands)
        text +=
            std::string("  tcmsg ") + c.name + " " + c.arguments + "\n      " + c.summary + "\n";
    writeErr(text);
    return kUsage;
}

} // namespace

int Tcmsg::run(const std::vector<std::string>& args)
{
    if (args.empty())
        return usage("no command given");
    for (const Command& c : kCommands) {
        if (args[0] != c.name)
            continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() != c.argumentCount)
            return usage(std::string("wrong number of arguments for ") + c.name);
        try {
            return c.handler(rest);
        } catch (const std::bad_alloc&) {
            writeErr("tcmsg: out of memory\n");
            return kMalformed;
        }
    }
    return usage("unknown command \"" + args[0] + "\"");
}
