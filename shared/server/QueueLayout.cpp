#include "shared/server/QueueLayout.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <sstream>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/HashDevice.h"

const wchar_t* QueueLayout::entryProblem(int64_t offset, int64_t length, int64_t fileSize,
                                         int64_t end)
{
    if (offset < FileMsgQueue::s_TABLE_SIZE)
        return L"offset inside the table";
    if (length <= FileMsgQueue::s_DIGEST_SIZE)
        return L"length not longer than a digest";
    if (offset + length > fileSize)
        return L"record past the end of the file";
    if (offset < end)
        return L"record overlaps an earlier one";
    return nullptr;
}

std::vector<QueueLayout::Entry> QueueLayout::checkTable(const int32_t* table, int64_t fileSize,
                                                        std::vector<Dropped>& dropped)
{
    std::vector<Entry> live;
    int64_t end = FileMsgQueue::s_TABLE_SIZE; // where the newest kept record ends
    for (int i = 0; i < FileMsgQueue::s_TABLE_ENTRIES && table[i] != 0; i += 2) {
        const int64_t offset = table[i];
        const int64_t length = table[i + 1];
        if (const wchar_t* reason = entryProblem(offset, length, fileSize, end)) {
            dropped.push_back({i / 2, offset, length, reason});
            continue;
        }
        live.push_back({i / 2, offset, length});
        end = offset + length;
    }
    return live;
}

void QueueLayout::encodeRecord(const Msg& msg, ByteArray& record)
{
    msg.toByteArray(record);
    ByteArray digest;
    HashDevice::hashData(record, digest, false);
    record += digest;
}

Msg* QueueLayout::decodeRecord(const ByteArray& record, std::wstring& reason)
{
    if (record.getSize() <= FileMsgQueue::s_DIGEST_SIZE) {
        reason = L"empty record";
        return nullptr;
    }
    const int32_t bodySize = record.getSize() - FileMsgQueue::s_DIGEST_SIZE;
    ByteArray body(record.getData(), bodySize);
    ByteArray digest;
    HashDevice::hashData(body, digest, false);
    if (std::memcmp(digest.getData(), record.getData() + bodySize, FileMsgQueue::s_DIGEST_SIZE) !=
        0) {
        reason = L"digest mismatch";
        return nullptr;
    }
    auto msg = std::make_unique<Msg>();
    try {
        msg->fromByteArray(body);
    } catch (const Exception& e) {
        std::wostringstream text;
        text << L"message does not parse: " << e.getExceptionID() << L" " << e.getDescription();
        reason = text.str();
        return nullptr;
    } catch (const std::bad_alloc&) {
        reason = L"message does not parse: too large";
        return nullptr;
    }
    return msg.release();
}

void QueueLayout::writeDump(std::wostream& out,
                            const std::vector<std::pair<int, const Msg*>>& messages)
{
    out << L"Message Queue:" << L"\r\n";
    for (const auto& entry : messages) {
        const Msg& msg = *entry.second;
        out << entry.first << L": ";
        int eventTime = 0;
        std::wstring when = L"(no time)";
        if (msg.getAttributeValue(L"EventTime", eventTime)) {
            const std::time_t t = static_cast<std::time_t>(eventTime);
            const char* text = std::ctime(&t);
            if (text != nullptr) {
                std::string narrow(text);
                while (!narrow.empty() && (narrow.back() == '\n' || narrow.back() == '\r'))
                    narrow.pop_back();
                when.assign(narrow.begin(), narrow.end());
            }
        }
        out << when << L" ";
        std::wstring value;
        if (msg.getType() == Msg::SYSTEM_STATE_CHANGE) {
            msg.getAttributeValue(L"SystemState", value);
            out << L"State Change " << value;
        } else {
            msg.getAttributeValue(L"FileDescription", value);
            out << L"Application Change " << value;
        }
        out << L"\r\n";
    }
}
