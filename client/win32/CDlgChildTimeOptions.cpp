#include "client/win32/CDlgChildTimeOptions.h"

#include <vector>

#include "client/ClientOperations.h"
#include "client/DurationEntries.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/System.h"

CDlgChildTimeOptions::CDlgChildTimeOptions(ClientOperations& client, int kind,
                                           const Registry& userSettings)
    : CChildDialog(IDD_TIME_OPTIONS, client), m_kind(kind)
{
    // Personal time shares the phone key but shows no subject.
    if (kind != 2)
        m_subjects.reset(new SubjectList(userSettings, kind == 0 ? L"Meetings" : L"Phone"));
}

CDlgChildTimeOptions::~CDlgChildTimeOptions()
{
    if (m_picture)
        DeleteObject(m_picture);
}

bool CDlgChildTimeOptions::onInitDialog()
{
    CChildDialog::onInitDialog();
    static const int pictures[] = {IDB_GOTO_MEETING, IDB_GOTO_PHONE, IDB_GOTO_PRIVATE};
    m_picture = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                MAKEINTRESOURCEW(pictures[m_kind]), IMAGE_BITMAP, 0,
                                                0, LR_DEFAULTCOLOR));
    SendMessageW(item(IDC_PICTURE), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(m_picture));
    if (m_kind == 1) {
        setItemText(IDC_TITLE_LABEL, L"Start Phone Call");
        showItem(IDC_DURATION, false);
        showItem(IDC_DURATION_LABEL, false);
        // The subject takes the duration's row.
        const int moves[2][2] = {{IDC_SUBJECT, IDC_DURATION},
                                 {IDC_SUBJECT_LABEL, IDC_DURATION_LABEL}};
        for (const auto& move : moves) {
            RECT from, to;
            GetWindowRect(item(move[0]), &from);
            GetWindowRect(item(move[1]), &to);
            MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&to), 2);
            SetWindowPos(item(move[0]), nullptr, to.left, to.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else if (m_kind == 2) {
        setItemText(IDC_TITLE_LABEL, L"Start Personal Time");
        showItem(IDC_SUBJECT, false);
        showItem(IDC_SUBJECT_LABEL, false);
    }
    if (m_subjects) {
        m_subjects->load();
        for (const std::wstring& s : m_subjects->subjects())
            SendMessageW(item(IDC_SUBJECT), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
        if (!m_subjects->subjects().empty())
            SendMessageW(item(IDC_SUBJECT), CB_SETCURSEL, m_subjects->selectedIndex(), 0);
    }
    return true;
}

void CDlgChildTimeOptions::fillDurations()
{
    HWND box = item(IDC_DURATION);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    const ClientProfile& profile =
        m_client.getSystem().getTavelinSessionDetails().getClientProfile();
    int limit = m_kind == 0   ? profile.getMaximumMeetingMinutes()
                : m_kind == 2 ? profile.getMaximumPrivateMinutes()
                              : 0;
    std::vector<std::wstring> offered = DurationEntries::offered(limit);
    for (const std::wstring& text : offered)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    int selection = DurationEntries::defaultSelection(m_kind, static_cast<int>(offered.size()));
    if (selection >= 0)
        SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

void CDlgChildTimeOptions::onViewShown()
{
    fillDurations();
    if (m_subjects) {
        SetFocus(item(IDC_SUBJECT));
        SendMessageW(item(IDC_SUBJECT), CB_SETCURSEL, m_subjects->selectedIndex(), 0);
    } else {
        SetFocus(item(IDC_DURATION));
    }
}

void CDlgChildTimeOptions::onViewHidden()
{
    if (!m_subjects)
        return;
    std::wstring text = subject();
    int index = m_subjects->remember(text);
    if (index < 0)
        return;
    HWND box = item(IDC_SUBJECT);
    if (SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.c_str())) == CB_ERR)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::wstring CDlgChildTimeOptions::subject() const
{
    HWND box = item(IDC_SUBJECT);
    LRESULT selected = SendMessageW(box, CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR) {
        LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(text.data()));
        return text.data();
    }
    return itemText(IDC_SUBJECT);
}

std::wstring CDlgChildTimeOptions::durationText() const
{
    HWND box = item(IDC_DURATION);
    LRESULT selected = SendMessageW(box, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return std::wstring();
    LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                 reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int CDlgChildTimeOptions::durationSeconds() const
{
    return DurationEntries::secondsOf(durationText());
}
