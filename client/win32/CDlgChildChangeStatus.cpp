#include "client/win32/CDlgChildChangeStatus.h"

#include <commctrl.h>

#include "client/ClientOperations.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/System.h"

namespace {
HBITMAP picture(int id)
{
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}
} // namespace

CDlgChildChangeStatus::CDlgChildChangeStatus(ClientOperations& client)
    : CChildDialog(IDD_CHANGE_STATUS, client)
{}

CDlgChildChangeStatus::~CDlgChildChangeStatus()
{
    for (HBITMAP b : {m_meeting, m_phone, m_private})
        if (b)
            DeleteObject(b);
}

bool CDlgChildChangeStatus::onInitDialog()
{
    CChildDialog::onInitDialog();
    m_meeting = picture(IDB_GOTO_MEETING);
    m_phone = picture(IDB_GOTO_PHONE);
    m_private = picture(IDB_GOTO_PRIVATE);
    m_tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    const struct {
        int id;
        const wchar_t* tip;
    } tips[] = {
        {IDC_PHONE, L"On Phone Call"},
        {IDC_MEETING, L"Go to Meeting"},
        {IDC_PRIVATE, L"Use Personal Time"},
        {IDC_CURRENT_STATUS, L"View Current Status"},
    };
    for (const auto& t : tips) {
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(item(t.id));
        info.lpszText = const_cast<wchar_t*>(t.tip);
        SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return true;
}

void CDlgChildChangeStatus::onViewShown()
{
    bool personal =
        m_client.getSystem().getTavelinSessionDetails().getClientProfile().enablePrivateMode();
    showItem(IDC_PRIVATE, personal);
    // Three tiles share the row; two take it in halves.
    const int ids[] = {IDC_MEETING, IDC_PHONE, IDC_PRIVATE};
    int count = personal ? 3 : 2;
    int gap = 4, left = 8, width = (218 - gap * (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
        RECT r{left + i * (width + gap), 20, left + i * (width + gap) + width, 86};
        MapDialogRect(hwnd(), &r);
        MoveWindow(item(ids[i]), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

Skin::ButtonKind CDlgChildChangeStatus::buttonKind(int id) const
{
    return id == IDC_CURRENT_STATUS ? Skin::Secondary : Skin::Tile;
}

HBITMAP CDlgChildChangeStatus::buttonPicture(int id) const
{
    switch (id) {
    case IDC_MEETING:
        return m_meeting;
    case IDC_PHONE:
        return m_phone;
    case IDC_PRIVATE:
        return m_private;
    default:
        return nullptr;
    }
}
