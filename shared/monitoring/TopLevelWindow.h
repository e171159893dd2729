#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "base/FileName.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/Clicker.h"
#include "shared/monitoring/Desktop.h"
#include "shared/TCShrdApi.h"

// One visible top-level window of the desktop: its process, the executable
// behind it and the context that plug-ins or the title rules last reported
// for it, with the quality of that report.
class TCSHRD_API TopLevelWindow {
public:
    // Quality of a context report, best first; carried as text in messages.
    enum PluginInfoQuality { FirstClass = 0, SecondClass = 1, ThirdClass = 2, FourthClass = 3 };

    // Lower-class reports are refused for good once a window has had this
    // many within a minute, ten minutes or an hour.
    static constexpr int MaxReportsPerMinute = 30;
    static constexpr int MaxReportsPerTenMinutes = 100;
    static constexpr int MaxReportsPerHour = 200;
    // The title is read into a buffer of this many UTF-16 code units.
    static constexpr size_t TitleBufferUnits = 500;

    // Records the window: finds its process and the full path of its
    // executable (the main module first, the image name second). Throws
    // SystemException 1062401 when the window has no process (it has gone)
    // and 1062402 when neither way gives a path. The desktop and clock are
    // not owned and must outlive the record.
    explicit TopLevelWindow(native::Window window, Desktop& desktop = Desktop::system(),
                            const Clock& clock = Clock::system());
    virtual ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;

    native::Window getHWND() const { return m_window; }
    uint32_t getProcessID() const { return m_processId; }
    const wchar_t* getExeFileName() const { return m_exeFileName.getFullPath().c_str(); }
    const FileName& getExeFile() const { return m_exeFileName; }
    std::wstring getParam1() const { return m_param1; }
    std::wstring getParam2() const { return m_param2; }
    std::wstring getParam3() const { return m_param3; }
    PluginInfoQuality getPluginInfoQuality() const { return m_quality; }
    // The stale mark that System::refresh uses.
    bool getFlag() const { return m_flag; }
    void setFlag(bool flag) { m_flag = flag; }
    // False once lower-class reports have come too often; never true again.
    bool contextInfoPermitted() const { return m_contextInfoPermitted; }

    // Stores a report: strings 1 and 2 only while the quality is permitted
    // (see isContextInfoPermitted), string 3 and the quality always. A
    // lower-class report counts towards the limits while they still allow.
    void setParams(const std::wstring& string1, const std::wstring& string2,
                   const std::wstring& string3, PluginInfoQuality quality);

    // The window's text, read with a buffer of TitleBufferUnits: a longer
    // text is cut, never inside a surrogate pair. Empty when the window has
    // no text or it cannot be read; the first time that happens for this
    // window it is traced (1062411).
    std::wstring getTitleBarText() const;

    // "FirstClass", "SecondClass" and "ThirdClass" (exactly); anything else
    // is FourthClass.
    static PluginInfoQuality ConvertToPluginInfoQuality(const std::wstring& text);
    // The text form of a quality ("FirstClass" ... "FourthClass").
    static std::wstring qualityText(PluginInfoQuality quality);

protected:
    // FirstClass always; otherwise false once refused, else counts the
    // reports and refuses for good when any limit is reached.
    bool isContextInfoPermitted(PluginInfoQuality quality);
    // The path of the process's main module; empty after a trace (1062403,
    // 1062404, 1062405) when it cannot be had.
    std::wstring getExePathFromProcessID1(uint32_t processId);
    // The path through the image-name call; empty after a trace (1062406 to
    // 1062410) when it cannot be had.
    std::wstring getExePathFromProcessID2(uint32_t processId);

    Desktop& m_desktop;
    native::Window m_window;
    bool m_flag = false;
    std::wstring m_param1;
    std::wstring m_param2;
    std::wstring m_param3;
    PluginInfoQuality m_quality = FourthClass;
    uint32_t m_processId = 0;
    FileName m_exeFileName;
    bool m_contextInfoPermitted = true;
    Clicker m_clicker;
    mutable bool m_titleErrorReported = false;
};

// "    Window:" and the handle, process id and path, one per line.
std::wostream& operator<<(std::wostream& out, const TopLevelWindow& window);
