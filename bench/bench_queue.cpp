// Push then pop of one status message through the file queue, beside the
// same through a FIFO table in SQLite (WAL journal), with 1 and with 3000
// messages already queued. Both keep the queue at its size: every iteration
// adds one message at the back and takes one from the front.
//
// SQLite runs with synchronous=NORMAL, which in WAL mode does not flush the
// disk on every commit; the file queue does not flush either, so neither
// side pays for a disk flush per message.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/File.h"
#include "base/Msg.h"
#include "base/Tools.h"
#include "shared/server/FileMsgQueue.h"

namespace {

// What the HTTP device queues while offline: a long-form application change
// (without its icon, which the device removes) or a state change, stamped.
Msg* statusMessage(int i)
{
    auto* msg = new Msg;
    msg->setAttributeValue(L"EventTime", 1700000000 + i);
    if (i % 4 == 3) {
        msg->setType(Msg::SYSTEM_STATE_CHANGE);
        msg->setAttributeValue(L"SystemState", std::wstring(L"Available"));
        return msg;
    }
    msg->setType(Msg::APPLICATION_CHANGE);
    msg->setAttributeValue(L"ContextString1", std::wstring(L"Quarterly budget review 2024.docx"));
    msg->setAttributeValue(L"ContextString2",
                           std::wstring(L"C:\\Users\\jane.doe\\Documents\\Finance"));
    msg->setAttributeValue(L"OriginalFilename", std::wstring(L"Writer.exe"));
    msg->setAttributeValue(L"FileDescription", std::wstring(L"Example Writer"));
    msg->setAttributeValue(L"InternalName", std::wstring(L"Writer"));
    msg->setAttributeValue(L"FileVersion", std::wstring(L"16.0.17126.20132"));
    msg->setAttributeValue(L"ProductName", std::wstring(L"Example Office Suite"));
    msg->setAttributeValue(L"ProductVersion", std::wstring(L"16.0.17126.20132"));
    msg->setAttributeValue(L"CompanyName", std::wstring(L"Example Software Corporation"));
    msg->setAttributeValue(L"FilePath",
                           std::wstring(L"C:\\Program Files\\Example\\Office Suite\\Writer.exe"));
    std::vector<uint8_t> hash(20);
    for (size_t k = 0; k < hash.size(); ++k)
        hash[k] = static_cast<uint8_t>(k * 37 + i);
    msg->setAttributeValue(L"ApplicationHash", new ByteArray(hash.data(), 20));
    return msg;
}

std::wstring tempPath(const std::wstring& name)
{
    File::initTempPath(false);
    return File::getTempPath() + File::Separator + name;
}

void removeFile(const std::wstring& path)
{
    std::remove(Tools::narrowWideString(path).c_str());
}

void BM_FileMsgQueue_PushPop(benchmark::State& state)
{
    const int queued = static_cast<int>(state.range(0));
    const std::wstring name = L"bench_queue.dat";
    removeFile(tempPath(name));
    FileMsgQueue queue(name);
    for (int i = 0; i < queued; ++i)
        queue.pushMessage(statusMessage(i));
    int i = queued;
    for (auto _ : state) {
        queue.pushMessage(statusMessage(i++));
        std::unique_ptr<Msg> msg(queue.popMessage());
        if (msg == nullptr)
            state.SkipWithError("queue gave nothing back");
        benchmark::DoNotOptimize(msg.get());
    }
    if (queue.open() && queue.getSize() != queued)
        state.SkipWithError("queue size changed");
    queue.close();
    state.SetItemsProcessed(state.iterations());
    removeFile(queue.getPath());
    removeFile(queue.getPath() + L".shift");
}

class Sqlite {
public:
    explicit Sqlite(const std::string& path)
    {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::remove((path + suffix).c_str());
        if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK)
            throw std::runtime_error("sqlite3_open");
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        exec("CREATE TABLE queue (id INTEGER PRIMARY KEY AUTOINCREMENT, body BLOB NOT NULL)");
        sqlite3_prepare_v2(m_db, "INSERT INTO queue (body) VALUES (?)", -1, &m_insert, nullptr);
        sqlite3_prepare_v2(m_db, "SELECT id, body FROM queue ORDER BY id LIMIT 1", -1, &m_oldest,
                           nullptr);
        sqlite3_prepare_v2(m_db, "DELETE FROM queue WHERE id = ?", -1, &m_delete, nullptr);
    }
    ~Sqlite()
    {
        sqlite3_finalize(m_insert);
        sqlite3_finalize(m_oldest);
        sqlite3_finalize(m_delete);
        sqlite3_close(m_db);
    }
    // As the file queue takes it: a message it owns and destroys.
    void push(Msg* msg)
    {
        std::unique_ptr<Msg> owned(msg);
        ByteArray wire;
        owned->toByteArray(wire);
        sqlite3_bind_blob(m_insert, 1, wire.getData(), wire.getSize(), SQLITE_TRANSIENT);
        sqlite3_step(m_insert);
        sqlite3_reset(m_insert);
    }
    // Taking the oldest and deleting it is one transaction, as a pop is one
    // operation of the file queue.
    Msg* pop()
    {
        exec("BEGIN IMMEDIATE");
        Msg* msg = nullptr;
        if (sqlite3_step(m_oldest) == SQLITE_ROW) {
            const sqlite3_int64 id = sqlite3_column_int64(m_oldest, 0);
            ByteArray wire(sqlite3_column_blob(m_oldest, 1), sqlite3_column_bytes(m_oldest, 1));
            sqlite3_reset(m_oldest);
            sqlite3_bind_int64(m_delete, 1, id);
            sqlite3_step(m_delete);
            sqlite3_reset(m_delete);
            msg = new Msg;
            msg->fromByteArray(wire);
        } else {
            sqlite3_reset(m_oldest);
        }
        exec("COMMIT");
        return msg;
    }

private:
    void exec(const char* sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_oldest = nullptr;
    sqlite3_stmt* m_delete = nullptr;
};

void BM_SqliteWal_PushPop(benchmark::State& state)
{
    const int queued = static_cast<int>(state.range(0));
    const std::string path = Tools::narrowWideString(tempPath(L"bench_queue.sqlite"));
    {
        Sqlite db(path);
        for (int i = 0; i < queued; ++i)
            db.push(statusMessage(i));
        int i = queued;
        for (auto _ : state) {
            db.push(statusMessage(i++));
            std::unique_ptr<Msg> msg(db.pop());
            if (msg == nullptr)
                state.SkipWithError("table gave nothing back");
            benchmark::DoNotOptimize(msg.get());
        }
    }
    state.SetItemsProcessed(state.iterations());
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
}

} // namespace

BENCHMARK(BM_FileMsgQueue_PushPop)->Arg(1)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteWal_PushPop)->Arg(1)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
