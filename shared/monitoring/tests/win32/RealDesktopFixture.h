#pragma once
// What the real-desktop tests share: a helper program's window, and the
// fixture of the system's desktop, a temporary folder with title rules of its
// own, and the traces recorded.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/Msg.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/Desktop.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace desktoptest {

// A helper program's window, found by its unique title.
class HelperWindow {
public:
    bool open(const std::wstring& program, const std::wstring& title)
    {
        return openPath(testsupport::helperProgram(program), title);
    }
    bool openPath(const std::wstring& path, const std::wstring& title)
    {
        m_title = title;
        if (!m_process.start(path, {title}))
            return false;
        return testsupport::eventually([this] {
            m_window = FindWindowW(L"OndrivexTestWindow", m_title.c_str());
            return m_window != nullptr && IsWindowVisible(m_window);
        });
    }
    HWND window() const { return m_window; }
    uint32_t processId() const { return m_process.id(); }
    const std::wstring& title() const { return m_title; }
    bool bringToFront() const
    {
        SetForegroundWindow(m_window);
        return testsupport::eventually([this] { return GetForegroundWindow() == m_window; });
    }
    // False when the window did not take the text within ten seconds (a
    // stuck helper must fail the test, not hang it).
    bool setTitle(const std::wstring& title)
    {
        m_title = title;
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(m_window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()),
                                   SMTO_ABORTIFHUNG, 10000, &result) != 0;
    }
    bool close()
    {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        int code = -1;
        return m_process.wait(20000, code) && code == 0;
    }

private:
    testsupport::ChildProcess m_process;
    HWND m_window = nullptr;
    std::wstring m_title;
};

class RealDesktopTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"desktop"};
    Desktop& m_desktop = Desktop::system();

    std::wstring title(const std::wstring& stem) { return testsupport::uniqueName(stem + L" "); }

    std::wstring rulesFile()
    {
        const std::wstring path = m_folder.file(L"ApplicationRules.txt");
        testsupport::writeFile(path, std::string("[QUILLPAD.EXE]\n"
                                                 "ACTIVITY=\"Writing\"\n"
                                                 "STRING2_DELETE_AFTER=\" - QuillPad\"\n"
                                                 "STRING1_DELETE_BEFORE_BUT_CONTINUE=\" - \"\n"));
        return path;
    }

    static std::wstring text(const Msg& msg, const wchar_t* name)
    {
        std::wstring value = L"<missing>";
        msg.getAttributeValue(name, value);
        return value;
    }
    static int handle(const Msg& msg)
    {
        int value = 0;
        msg.getAttributeValue(L"HWND", value);
        return value;
    }
};

} // namespace desktoptest
