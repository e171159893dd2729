#pragma once

// Keeps the calling thread's last system error (GetLastError on Windows,
// errno natively) from its construction to its end, so that clean-up done in
// between cannot overwrite the error a caller is about to report.
class LastErrorKeeper {
public:
    LastErrorKeeper();
    ~LastErrorKeeper();
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    // Operating-system half, in win32/LastErrorKeeper.cpp and
    // posix/LastErrorKeeper.cpp.
    static unsigned long read();
    static void write(unsigned long code);

    unsigned long m_code;
};
