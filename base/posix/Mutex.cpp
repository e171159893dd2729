#include "base/Mutex.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/EventSink.h"
#include "base/posix/PosixSupport.h"
#include "base/posix/ScopedFd.h"
#include "base/Tools.h"

// A Win32 mutex has three properties the rest of the system relies on: the
// owning thread may take it again, a named one is one object for every
// process of the user, and ending while holding it hands it over as
// "abandoned" rather than leaving it stuck. Natively:
// - in the process, every Mutex of one name shares one state (owner thread
//   and depth), so re-entry works through any of them;
// - between processes, the owner holds flock on the name's lock file, which
//   the kernel drops when the process ends, however it ends;
// - while holding it, the owner keeps its process id in that file and clears
//   it on release; finding it filled on acquiring means the previous owner
//   ended without releasing. A thread that ends while holding a mutex gives
//   it up the same way, leaving its record behind.

namespace {

using Clock = std::chrono::steady_clock;

struct MutexState {
    std::mutex guard;
    std::condition_variable released;
    std::thread::id owner; // default: nobody
    unsigned long depth = 0;
    bool abandoned = false; // unnamed mutexes: the owning thread ended
    ScopedFd file;          // named mutexes: the shared lock file
    std::wstring name;
};

using StatePtr = std::shared_ptr<MutexState>;

// Never destroyed: mutexes may be used from static destructors.
std::mutex& namedGuard()
{
    static std::mutex* guard = new std::mutex;
    return *guard;
}

std::map<std::string, std::weak_ptr<MutexState>>& namedStates()
{
    static auto* states = new std::map<std::string, std::weak_ptr<MutexState>>;
    return *states;
}

void abandon(MutexState& s)
{
    std::lock_guard<std::mutex> g(s.guard);
    if (s.owner != std::this_thread::get_id() || s.depth == 0)
        return;
    s.depth = 0;
    s.owner = std::thread::id();
    if (s.file)
        ::flock(s.file.get(), LOCK_UN); // the owner record stays: it marks the abandonment
    else
        s.abandoned = true;
    s.released.notify_one();
}

// The mutexes the calling thread holds, given up when the thread ends. The
// list is reached through a plain pointer so that it stays usable during
// the thread's own clean-up.
thread_local std::vector<StatePtr>* t_held = nullptr;
thread_local bool t_ending = false;

struct HeldCleanup {
    ~HeldCleanup()
    {
        t_ending = true;
        std::vector<StatePtr>* list = t_held;
        t_held = nullptr;
        if (list == nullptr)
            return;
        for (const StatePtr& s : *list)
            abandon(*s);
        delete list;
    }
};
thread_local HeldCleanup t_cleanup;

std::vector<StatePtr>& heldList()
{
    if (t_held == nullptr) {
        t_held = new std::vector<StatePtr>;
        if (!t_ending)
            (void)&t_cleanup; // registers the clean-up for this thread
    }
    return *t_held;
}

// A private folder for the user's named objects; refuses one that someone
// else could have prepared.
bool objectFolder(std::string& folder)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        folder = std::string(runtime) + "/ondrivex";
    else
        folder = "/tmp/ondrivex-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

// The lock file's name: the object name's UTF-8 with everything but
// letters, digits, "." and "-" written as %XX, so that different names never
// share a file; very long names are cut and completed by a hash.
std::string fileNameFor(const std::wstring& name)
{
    static const char* const digits = "0123456789ABCDEF";
    const std::string utf8 = Tools::narrowWideString(name);
    std::string encoded = PosixSupport::percentEscape(utf8, [](unsigned char c) {
        return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '-');
    });
    if (encoded.size() > 200) {
        uint64_t hash = 1469598103934665603ULL;
        for (char ch : utf8) {
            hash ^= static_cast<unsigned char>(ch);
            hash *= 1099511628211ULL;
        }
        std::string hex;
        for (int shift = 60; shift >= 0; shift -= 4)
            hex += digits[(hash >> shift) & 0xF];
        encoded = encoded.substr(0, 180) + "~" + hex;
    }
    return "mutex." + encoded;
}

std::string readRecord(int fd)
{
    char buffer[64];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

void writeRecord(int fd)
{
    const std::string record = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, record.data(), record.size(), 0);
}

// flock with an optional deadline: 1 taken, 0 timed out, -1 failed (errno set).
int lockFile(int fd, bool limited, Clock::time_point deadline)
{
    for (;;) {
        if (::flock(fd, limited ? LOCK_EX | LOCK_NB : LOCK_EX) == 0)
            return 1;
        if (errno == EINTR)
            continue;
        if (!limited || errno != EWOULDBLOCK)
            return -1;
        if (Clock::now() >= deadline)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

[[noreturn]] void throwWaitFailed(int code)
{
    SystemException e(1050703, L"Mutex Wait failed", TC_AT(L"Mutex::lock"));
    e.addErrorInfo(static_cast<unsigned long>(code));
    throw e;
}

} // namespace

struct Mutex::Impl {
    StatePtr state;
};

Mutex::Mutex() : m_impl(new Impl) {}

Mutex::~Mutex() = default;

void Mutex::initialise(const std::wstring& name)
{
    if (name.empty()) {
        m_impl->state = std::make_shared<MutexState>();
        return;
    }
    std::string folder;
    if (!objectFolder(folder)) {
        SystemException e(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
        e.addErrorInfo(static_cast<unsigned long>(errno));
        throw e;
    }
    const std::string path = folder + "/" + fileNameFor(name);
    std::lock_guard<std::mutex> g(namedGuard());
    auto& states = namedStates();
    auto found = states.find(path);
    if (found != states.end()) {
        if (StatePtr existing = found->second.lock()) {
            m_impl->state = existing;
            return;
        }
    }
    ScopedFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        SystemException e(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
        e.addErrorInfo(static_cast<unsigned long>(errno));
        throw e;
    }
    auto state = std::make_shared<MutexState>();
    state->file = std::move(fd);
    state->name = name;
    states[path] = state;
    // Forget names whose mutexes are all gone, so the table does not grow.
    for (auto it = states.begin(); it != states.end();) {
        if (it->second.expired())
            it = states.erase(it);
        else
            ++it;
    }
    m_impl->state = state;
}

bool Mutex::wait(unsigned long timeoutMs, bool limited)
{
    const StatePtr state = m_impl->state;
    if (!state)
        throwWaitFailed(EINVAL);
    MutexState& s = *state;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::thread::id me = std::this_thread::get_id();

    std::unique_lock<std::mutex> g(s.guard);
    if (s.owner == me) {
        ++s.depth;
        return true;
    }
    while (s.owner != std::thread::id()) {
        if (!limited) {
            s.released.wait(g);
        } else if (s.released.wait_until(g, deadline) == std::cv_status::timeout &&
                   s.owner != std::thread::id()) {
            return false;
        }
    }
    s.owner = me;
    bool abandoned = s.abandoned;
    s.abandoned = false;
    std::string previous;
    if (s.file) {
        // The thread has the process's share; now wait for the other processes.
        g.unlock();
        const int rc = lockFile(s.file.get(), limited, deadline);
        const int error = errno;
        g.lock();
        if (rc != 1) {
            s.owner = std::thread::id();
            g.unlock();
            s.released.notify_one();
            if (rc == 0)
                return false;
            throwWaitFailed(error);
        }
        previous = readRecord(s.file.get());
        abandoned = !previous.empty();
        writeRecord(s.file.get());
    }
    s.depth = 1;
    g.unlock();
    heldList().push_back(state);

    if (abandoned) {
        Event e(1050702, L"Mutex Wait Abandoned", TC_AT(L"Mutex::lock"));
        if (!s.name.empty())
            e.addDetails(L"Name", s.name);
        const long pid = std::strtol(previous.c_str(), nullptr, 10);
        if (pid > 0)
            e.addDetails(L"Previous Owner", pid);
        EventSink::trace(e);
    }
    return true;
}

void Mutex::release()
{
    const StatePtr state = m_impl->state;
    if (state) {
        MutexState& s = *state;
        std::unique_lock<std::mutex> g(s.guard);
        if (s.owner == std::this_thread::get_id() && s.depth > 0) {
            if (--s.depth > 0)
                return;
            if (s.file) {
                (void)!::ftruncate(s.file.get(), 0);
                ::flock(s.file.get(), LOCK_UN);
            }
            s.owner = std::thread::id();
            g.unlock();
            s.released.notify_one();
            if (t_held != nullptr) {
                auto it = std::find(t_held->begin(), t_held->end(), state);
                if (it != t_held->end())
                    t_held->erase(it);
            }
            return;
        }
    }
    SystemException e(1050704, L"Error Releasing Mutex", TC_AT(L"Mutex::release"));
    e.addErrorInfo(EPERM);
    throw e;
}

native::Handle Mutex::getHandle() const
{
    return m_impl->state.get();
}

bool Mutex::isInitialised() const
{
    return m_impl->state != nullptr;
}
