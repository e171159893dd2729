#include "client/win32/CDlgChildCurrentStatusTimed.h"

#include "client/win32/ClientResources.h"
#include "shared/framework/Clock.h"

namespace {
const UINT_PTR CountTimer = 1;
}

CDlgChildCurrentStatusTimed::CDlgChildCurrentStatusTimed(ClientOperations& client, int kind,
                                                         const Clock& clock)
    : CChildDialog(IDD_STATUS_TIMED, client), m_kind(kind), m_clock(clock)
{}

bool CDlgChildCurrentStatusTimed::onInitDialog()
{
    CChildDialog::onInitDialog();
    static const wchar_t* const labels[] = {L"At a Meeting", L"On the Phone", L"Personal Time"};
    static const int pictures[] = {IDB_TIMED_MEETING, IDB_TIMED_PHONE, IDB_TIMED_PRIVATE};
    setItemText(IDC_TITLE_LABEL, labels[m_kind]);
    if (m_kind == 1)
        setItemText(IDC_TIMED_TITLE, L"On the Phone");
    else if (m_kind == 2)
        setItemText(IDC_TIMED_TITLE, L"Personal Time");
    m_picture = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                MAKEINTRESOURCEW(pictures[m_kind]), IMAGE_BITMAP, 0,
                                                0, LR_DEFAULTCOLOR));
    SendMessageW(item(IDC_PICTURE), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(m_picture));
    return true;
}

void CDlgChildCurrentStatusTimed::onDestroy()
{
    KillTimer(hwnd(), CountTimer);
    if (m_picture)
        DeleteObject(m_picture);
    m_picture = nullptr;
}

void CDlgChildCurrentStatusTimed::setUp(int seconds)
{
    m_start = m_clock.now();
    m_duration = m_kind == 1 ? 0 : seconds;
    setSecondLine(L"");
    SetTimer(hwnd(), CountTimer, 1000, nullptr);
    tick();
}

void CDlgChildCurrentStatusTimed::onViewShown()
{
    SetFocus(item(IDC_BACK));
}

void CDlgChildCurrentStatusTimed::onTimer(UINT_PTR id)
{
    if (id == CountTimer)
        tick();
}

void CDlgChildCurrentStatusTimed::tick()
{
    int64_t elapsed = m_clock.now() - m_start;
    int64_t value = m_kind == 1 ? elapsed : m_duration - elapsed;
    if (value < 0)
        value = 0;
    int hours = static_cast<int>((value / 3600) % 24);
    int minutes = static_cast<int>((value / 60) % 60);
    int seconds = static_cast<int>(value % 60);
    int digits[6] = {hours / 10,   hours % 10,   minutes / 10,
                     minutes % 10, seconds / 10, seconds % 10};
    for (int i = 0; i < 6; ++i) {
        if (digits[i] != m_digits[i]) {
            m_digits[i] = digits[i];
            InvalidateRect(item(IDC_DIGIT0 + i), nullptr, FALSE);
        }
    }
}

std::wstring CDlgChildCurrentStatusTimed::shownTime() const
{
    std::wstring text;
    for (int i = 0; i < 6; ++i) {
        text += static_cast<wchar_t>(L'0' + m_digits[i]);
        if (i == 1 || i == 3)
            text += L':';
    }
    return text;
}

bool CDlgChildCurrentStatusTimed::onMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result)
{
    if (message != WM_DRAWITEM)
        return false;
    const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    int index = static_cast<int>(draw->CtlID) - IDC_DIGIT0;
    if (draw->CtlType != ODT_STATIC || index < 0 || index > 5)
        return false;
    Skin::drawDigit(draw->hDC, draw->rcItem, m_digits[index]);
    result = TRUE;
    return true;
}
