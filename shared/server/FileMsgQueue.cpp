#include "shared/server/FileMsgQueue.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <sstream>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/File.h"
#include "base/LittleEndian.h"
#include "base/Logger.h"
#include "base/Msg.h"
#include "base/Tools.h"
#include "shared/server/HashDevice.h"
#include "shared/server/QueueFile.h"
#include "shared/server/QueueLayout.h"

namespace {

const int64_t RecordArea = FileMsgQueue::s_TABLE_SIZE;
// Compaction copies in pieces of this size.
const int CopyChunk = 2048;

std::wstring workFilePath(const std::wstring& queuePath)
{
    // Beside the queue, so that it lies on the same volume and can take the
    // queue's place in one step.
    return queuePath + L".shift";
}

} // namespace

FileMsgQueue::FileMsgQueue(const std::wstring& fileName)
{
    std::memset(m_table, 0, sizeof m_table);
    try {
        File::initTempPath(false);
    } catch (const Exception& e) {
        Event event(1063508, &e, L"FileMsgQueue: the queue's folder could not be made",
                    TC_AT(L"FileMsgQueue::FileMsgQueue"));
        Logger::Trace(event);
    }
    m_path = File::getTempPath() + File::Separator + fileName;
    m_file = std::make_unique<QueueFile>(m_path);
    if (!File::exists(m_path))
        create();
}

FileMsgQueue::FileMsgQueue(std::unique_ptr<QueueFile> file) : m_file(std::move(file))
{
    std::memset(m_table, 0, sizeof m_table);
    m_path = m_file->getPath();
    if (!File::exists(m_path))
        create();
}

FileMsgQueue::~FileMsgQueue() = default;

const std::wstring& FileMsgQueue::getPath() const
{
    return m_path;
}

void FileMsgQueue::trace(uint32_t id, const std::wstring& text, int type, int position,
                         int64_t offset, int64_t length, const std::wstring& reason)
{
    Event event(id, text, type, TC_AT(L"FileMsgQueue"));
    if (position >= 0) {
        event.addDetails(L"Position", position);
        event.addDetails(L"Offset", offset);
        event.addDetails(L"Length", length);
    }
    if (!reason.empty())
        event.addDetails(L"Reason", reason);
    Logger::Trace(event);
}

int FileMsgQueue::queue_pos() const
{
    int i = 0;
    while (i < s_TABLE_ENTRIES && m_table[i] != 0)
        i += 2;
    return i;
}

int FileMsgQueue::getSize() const
{
    return m_entries < 0 ? 0 : m_entries / 2;
}

bool FileMsgQueue::loadTable()
{
    int64_t fileSize = 0;
    uint8_t raw[s_TABLE_SIZE];
    if (!m_file->size(fileSize) || fileSize < s_TABLE_SIZE || !m_file->readAt(0, raw, sizeof raw)) {
        // Records start after the table: a shorter file holds nothing to keep.
        std::wostringstream size;
        size << fileSize;
        trace(1063506, L"FileMsgQueue: file too short for the table, recreated", Event::Warning, -1,
              0, 0, size.str() + L" bytes");
        create();
        return m_file->isOpen();
    }
    for (int i = 0; i < s_TABLE_ENTRIES; ++i)
        m_table[i] = LittleEndian::readI32(&raw[static_cast<size_t>(i) * 4]);
    // Checked in place (the same rules as checkTable, without its lists:
    // this runs at the start of every operation). Dropped pairs close up,
    // and everything after the list is zero, as the layout has it.
    int kept = 0;
    int64_t end = RecordArea;
    int i = 0;
    for (; i < s_TABLE_ENTRIES && m_table[i] != 0; i += 2) {
        const int64_t offset = m_table[i];
        const int64_t length = m_table[i + 1];
        if (const wchar_t* reason = QueueLayout::entryProblem(offset, length, fileSize, end)) {
            trace(1063502, L"FileMsgQueue: corrupt table entry dropped", Event::Warning, i / 2,
                  offset, length, reason);
            continue;
        }
        m_table[kept] = m_table[i];
        m_table[kept + 1] = m_table[i + 1];
        kept += 2;
        end = offset + length;
    }
    std::fill(m_table + kept, m_table + s_TABLE_ENTRIES, 0);
    m_entries = kept;
    return true;
}

bool FileMsgQueue::writeTable()
{
    uint8_t raw[s_TABLE_SIZE];
    for (int i = 0; i < s_TABLE_ENTRIES; ++i)
        LittleEndian::writeI32(&raw[static_cast<size_t>(i) * 4], m_table[i]);
    return m_file->writeAt(0, raw, sizeof raw);
}

void FileMsgQueue::create()
{
    close();
    m_file->remove();
    std::memset(m_table, 0, sizeof m_table);
    if (!m_file->open(true)) {
        Event event(1063508, L"FileMsgQueue: queue file could not be created",
                    TC_AT(L"FileMsgQueue::create"));
        event.addDetails(L"Path", m_path);
        event.addSystemErrorInfo();
        Logger::Trace(event);
        return;
    }
    writeTable();
    m_entries = 0;
    m_file->setHidden();
}

bool FileMsgQueue::open()
{
    if (m_file->isOpen())
        return true;
    if (!m_file->open(false)) {
        create();
        if (!m_file->isOpen())
            return false;
    }
    return loadTable();
}

void FileMsgQueue::close()
{
    if (!m_file->isOpen())
        return;
    if (!writeTable()) {
        Event event(1063509, L"FileMsgQueue: table could not be written",
                    TC_AT(L"FileMsgQueue::close"));
        event.addSystemErrorInfo();
        Logger::Trace(event);
    }
    m_file->close();
}

void FileMsgQueue::dropFirstPair()
{
    std::memmove(m_table, m_table + 2, sizeof(int32_t) * (s_TABLE_ENTRIES - 2));
    m_table[s_TABLE_ENTRIES - 2] = 0;
    m_table[s_TABLE_ENTRIES - 1] = 0;
    m_entries = queue_pos();
}

void FileMsgQueue::pushMessage(Msg* msg)
{
    std::unique_ptr<Msg> owned(msg);
    if (owned == nullptr || !open())
        return;
    int64_t fileSize = 0;
    if (m_file->size(fileSize) && fileSize > s_COMPACTION_THRESHOLD) {
        compress();
        if (!open())
            return;
    }
    if (m_entries >= s_TABLE_ENTRIES) {
        trace(1063503, L"FileMsgQueue: queue full, oldest message dropped", Event::Warning, 0,
              m_table[0], m_table[1], std::wstring());
        dropFirstPair();
    }
    const int64_t position =
        m_entries == 0 ? RecordArea
                       : static_cast<int64_t>(m_table[m_entries - 2]) + m_table[m_entries - 1];
    ByteArray record;
    try {
        QueueLayout::encodeRecord(*owned, record);
    } catch (const std::bad_alloc&) {
        trace(1063504, L"FileMsgQueue: message too large to be stored, lost", Event::Error, -1, 0,
              0, std::wstring());
        close();
        return;
    }
    owned.reset();
    // Offsets are 32-bit: a record that would end past them cannot be named.
    if (position + record.getSize() > INT32_MAX) {
        trace(1063504, L"FileMsgQueue: queue file full, message lost", Event::Error, -1, 0, 0,
              std::wstring());
        close();
        return;
    }
    // The record first, the table entry only once the record is whole: a
    // failed write leaves the table naming only what it named before.
    if (!m_file->writeAt(position, record.getData(), static_cast<size_t>(record.getSize()))) {
        Event event(1063504, L"FileMsgQueue: message could not be written, lost",
                    TC_AT(L"FileMsgQueue::pushMessage"));
        event.addSystemErrorInfo();
        event.addDetails(L"Offset", position);
        Logger::Trace(event);
        close();
        return;
    }
    m_table[m_entries] = static_cast<int32_t>(position);
    m_table[m_entries + 1] = record.getSize();
    m_entries += 2;
    close();
}

Msg* FileMsgQueue::popMessage()
{
    if (!open())
        return nullptr;
    int position = 0;
    while (m_entries > 0) {
        const int64_t offset = m_table[0];
        const int64_t length = m_table[1];
        ByteArray record;
        // The table was checked against the file's size when it was loaded,
        // so the allocation is bounded by the file.
        if (!m_file->readAt(offset, record.getBuffer(static_cast<int32_t>(length)),
                            static_cast<size_t>(length))) {
            // Not proof that the record is bad (another process may hold a
            // lock on it): it stays for a later pop.
            trace(1063507, L"FileMsgQueue: record could not be read, kept", Event::Warning,
                  position, offset, length,
                  Tools::lookupErrorDescription(Tools::getLastSystemError()));
            close();
            return nullptr;
        }
        dropFirstPair();
        std::wstring reason;
        Msg* msg = QueueLayout::decodeRecord(record, reason);
        if (msg != nullptr) {
            if (m_entries == 0) {
                m_file->close();
                create();
            }
            close();
            return msg;
        }
        trace(1063501, L"FileMsgQueue: corrupt record dropped", Event::Warning, position, offset,
              length, reason);
        ++position;
    }
    // Empty: a new file drops all dead space.
    m_file->close();
    create();
    close();
    return nullptr;
}

void FileMsgQueue::compress()
{
    if (!m_file->isOpen() || m_entries <= 0)
        return;
    const int64_t first = m_table[0];
    if (first == RecordArea)
        return;
    int64_t fileSize = 0;
    if (!m_file->size(fileSize))
        return;
    const std::wstring workPath = workFilePath(m_path);
    std::unique_ptr<QueueFile> work = m_file->sibling(workPath);
    auto skip = [&](const wchar_t* reason) {
        Event event(1063505, L"FileMsgQueue: compaction not done", Event::Warning,
                    TC_AT(L"FileMsgQueue::compress"));
        event.addDetails(L"Reason", reason);
        event.addSystemErrorInfo();
        Logger::Trace(event);
        work->remove();
    };
    if (!work->open(true)) {
        skip(L"work file not opened");
        return;
    }
    // The shifted table goes to the work file only; the queue keeps its own
    // until the work file has taken its place.
    const int64_t shift = first - RecordArea;
    int32_t shifted[s_TABLE_ENTRIES];
    std::memcpy(shifted, m_table, sizeof shifted);
    for (int i = 0; i < m_entries; i += 2)
        shifted[i] = static_cast<int32_t>(shifted[i] - shift);
    std::vector<uint8_t> raw(s_TABLE_SIZE);
    for (int i = 0; i < s_TABLE_ENTRIES; ++i)
        LittleEndian::writeI32(&raw[static_cast<size_t>(i) * 4], shifted[i]);
    if (!work->writeAt(0, raw.data(), raw.size())) {
        skip(L"work file not written");
        return;
    }
    uint8_t chunk[CopyChunk];
    int64_t to = RecordArea;
    for (int64_t from = first; from < fileSize;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(CopyChunk, fileSize - from));
        if (!m_file->readAt(from, chunk, n) || !work->writeAt(to, chunk, n)) {
            skip(L"records not copied");
            return;
        }
        from += static_cast<int64_t>(n);
        to += static_cast<int64_t>(n);
    }
    if (!work->sync()) {
        skip(L"work file not flushed");
        return;
    }
    work->close();
    work->setHidden();
    close();
    if (!m_file->replaceWith(workPath)) {
        skip(L"work file could not replace the queue");
        return;
    }
    m_file->setHidden();
    std::memcpy(m_table, shifted, sizeof m_table);
    m_entries = queue_pos();
}

std::wostream& operator<<(std::wostream& out, FileMsgQueue& queue)
{
    std::vector<std::unique_ptr<Msg>> owned;
    std::vector<std::pair<int, const Msg*>> messages;
    if (queue.open()) {
        for (int i = 0; i < queue.m_entries; i += 2) {
            const int64_t length = queue.m_table[i + 1];
            ByteArray record;
            if (!queue.m_file->readAt(queue.m_table[i],
                                      record.getBuffer(static_cast<int32_t>(length)),
                                      static_cast<size_t>(length)))
                continue;
            std::wstring reason;
            std::unique_ptr<Msg> msg(QueueLayout::decodeRecord(record, reason));
            if (msg == nullptr)
                continue;
            messages.emplace_back(i / 2, msg.get());
            owned.push_back(std::move(msg));
        }
        queue.close();
    }
    QueueLayout::writeDump(out, messages);
    return out;
}
