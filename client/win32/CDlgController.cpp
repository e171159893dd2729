#include "client/win32/CDlgController.h"

#include <vector>

#include "client/AuthenticationURL.h"
#include "client/ClientOperations.h"
#include "client/StatusRules.h"
#include "client/VersionText.h"
#include "client/WindowPlacementStore.h"
#include "client/win32/CAboutDlg.h"
#include "client/win32/CDlgChildChangeStatus.h"
#include "client/win32/CDlgChildCurrentStatus.h"
#include "client/win32/CDlgChildCurrentStatusTimed.h"
#include "client/win32/CDlgChildSignIn.h"
#include "client/win32/CDlgChildTimeOptions.h"
#include "client/win32/CXHyperLink.h"
#include "client/win32/ClientMessages.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/System.h"
#include "shared/monitoring/Version.h"

using Status = TavelinSessionDetails::ConnectionStatus;

namespace {
const UINT_PTR HeartbeatTimer = 0;

std::wstring executablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}
} // namespace

CDlgController::CDlgController(ClientOperations& client, const Registry& userSettings,
                               const Clock& clock)
    : Dialog(IDD_CONTROLLER), m_client(client), m_settings(userSettings), m_clock(clock),
      m_log(client), m_commands(*this, client), m_motd(userSettings)
{
    addLink(IDC_HELP_LINK)
        .setAddress(std::wstring(AuthenticationURL::MakerSite) + L"Info/Help/Default.aspx");
    addLink(IDC_REPORTS_LINK).setReportsClicks(true);
}

CDlgController::~CDlgController()
{
    m_commands.tray().remove();
    m_views.clear();
    if (m_statusBitmap)
        DeleteObject(m_statusBitmap);
    if (m_smallIcon)
        DestroyIcon(m_smallIcon);
}

int CDlgController::headerHeight() const
{
    RECT r{0, 0, 1, 46};
    MapDialogRect(hwnd(), &r);
    return r.bottom;
}

int CDlgController::footerTop() const
{
    RECT r{0, 0, 1, 175};
    MapDialogRect(hwnd(), &r);
    return r.bottom;
}

CChildDialog* CDlgController::view(int number) const
{
    auto it = m_views.find(StatusRules::viewName(number));
    return it == m_views.end() ? nullptr : it->second.get();
}

bool CDlgController::onInitDialog()
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    // The title the taskbar and the window list show; the window draws no
    // caption of its own.
    SetWindowTextW(hwnd(), L"Ondrivex");
    // The skin: the program's icon, the fonts of the header.
    m_smallIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(module, MAKEINTRESOURCEW(IDR_MAINFRAME))));
    SendMessageW(item(IDC_USER_LABEL), WM_SETFONT, reinterpret_cast<WPARAM>(Skin::headingFont()),
                 FALSE);
    HICON reportsIcon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    SendMessageW(item(IDC_REPORTS_ICON), STM_SETICON, reinterpret_cast<WPARAM>(reportsIcon), 0);
    if (HMENU system = GetSystemMenu(hwnd(), FALSE)) {
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, L"&About Ondrivex...");
    }
    setStatusBitmap(IDB_STATUS_OFFLINE);

    m_log.create(hwnd());

    RECT frame;
    GetWindowRect(item(IDC_PLACEHOLDER), &frame);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&frame), 2);
    showItem(IDC_PLACEHOLDER, false);
    for (int number : StatusRules::CreationOrder) {
        std::unique_ptr<CChildDialog> made;
        switch (number) {
        case 1:
        case 2:
            made.reset(new CDlgChildSignIn(m_client, number == 2));
            break;
        case 3:
            made.reset(new CDlgChildCurrentStatus(m_client));
            break;
        case 7:
            made.reset(new CDlgChildChangeStatus(m_client));
            break;
        case 8:
        case 9:
        case 10:
            made.reset(new CDlgChildTimeOptions(m_client, number - 8, m_settings));
            break;
        default:
            made.reset(new CDlgChildCurrentStatusTimed(m_client, number - 4, m_clock));
            break;
        }
        if (!made->create(hwnd()))
            continue;
        SetWindowPos(made->hwnd(), nullptr, frame.left, frame.top, frame.right - frame.left,
                     frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
        m_views[StatusRules::viewName(number)] = std::move(made);
    }

    HICON programIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
    m_commands.tray().create(hwnd(), L"Ondrivex", programIcon);
    restorePlacement();
    m_commands.updateTrayIcon();
    // Nobody is signed in yet: the link waits for the first connection.
    updateReportsLink();

    const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    int first = StatusRules::firstView(session);
    if (first == StatusRules::SwitchUserView) {
        showView(first);
        onConnectionStatusChange(static_cast<int>(session.getConnectionStatus()));
    } else if (first != StatusRules::NoView) {
        showView(first);
    }
    m_client.setStatusWindow(hwnd());
    SetTimer(hwnd(), HeartbeatTimer, 200, nullptr);
    return false; // the views take the focus themselves
}

void CDlgController::setStatusBitmap(int id)
{
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    SendMessageW(item(IDC_STATUS_BITMAP), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(bitmap));
    if (m_statusBitmap)
        DeleteObject(m_statusBitmap);
    m_statusBitmap = bitmap;
}

void CDlgController::showView(int number)
{
    CChildDialog* next = view(number);
    if (m_current && m_current != next) {
        ShowWindow(m_current->hwnd(), SW_HIDE);
        m_current->onViewHidden();
    }
    if (next) {
        next->onViewShown();
        ShowWindow(next->hwnd(), SW_SHOW);
    }
    m_current = next;
    m_viewNumber = number;
}

void CDlgController::showWindow()
{
    const ClientProfile& profile =
        m_client.getSystem().getTavelinSessionDetails().getClientProfile();
    if (!profile.hideGUI()) {
        if (!IsWindowVisible(hwnd()) || IsIconic(hwnd())) {
            ShowWindow(hwnd(), IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
            SetFocus(item(IDC_REPORTS_LINK));
        }
    }
    SetForegroundWindow(hwnd());
}

RECT CDlgController::trayCorner() const
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT corner{desktop.right - 80, desktop.bottom - 20, desktop.right - 40, desktop.bottom - 10};
    return corner;
}

void CDlgController::hideToTray(bool hide)
{
    bool hidden = !IsWindowVisible(hwnd()) || IsIconic(hwnd());
    if (hide == hidden)
        return;
    bool animate = !m_client.getSystem().getTavelinSessionDetails().getClientProfile().hideGUI();
    RECT window;
    GetWindowRect(hwnd(), &window);
    RECT corner = trayCorner();
    if (hide) {
        if (animate)
            DrawAnimatedRects(hwnd(), IDANI_CAPTION, &window, &corner);
        ShowWindow(hwnd(), SW_HIDE);
        savePlacement();
    } else if (animate) {
        DrawAnimatedRects(hwnd(), IDANI_CAPTION, &corner, &window);
        showWindow();
    }
}

void CDlgController::minimiseWindow()
{
    ShowWindow(hwnd(), SW_MINIMIZE);
}

void CDlgController::toggleLogWindow()
{
    ShowWindow(m_log.hwnd(), IsWindowVisible(m_log.hwnd()) ? SW_HIDE : SW_SHOW);
}

void CDlgController::savePlacement()
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd(), &placement))
        return;
    WindowPlacementStore(m_settings)
        .save(ByteArray(&placement, static_cast<int32_t>(sizeof placement)),
              !IsWindowVisible(hwnd()));
}

void CDlgController::restorePlacement()
{
    WindowPlacementStore store(m_settings);
    RECT window;
    GetWindowRect(hwnd(), &window);
    ByteArray stored;
    if (store.restorable(window.right - window.left, window.bottom - window.top, stored)) {
        WINDOWPLACEMENT placement{};
        memcpy(&placement, stored.getData(), sizeof placement);
        placement.showCmd = SW_HIDE; // shown below, or left in the tray
        SetWindowPlacement(hwnd(), &placement);
        if (store.wasHidden())
            hideToTray(true);
        else
            ShowWindow(hwnd(), SW_SHOW);
        return;
    }
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = window.right - window.left, height = window.bottom - window.top;
    SetWindowPos(hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd(), SW_SHOW);
}

void CDlgController::onSystemInfoUpdate()
{
    m_commands.updateTrayIcon();
    for (auto& entry : m_views)
        entry.second->onSystemInfoUpdate();
    const UserStatus& status = m_client.getSystem().getUserStatus();
    if (status.atMeeting() && m_viewNumber != StatusRules::MeetingStatusView) {
        if (auto* meeting =
                static_cast<CDlgChildCurrentStatusTimed*>(view(StatusRules::MeetingStatusView))) {
            meeting->setUp(status.duration());
            meeting->setTitle(status.reason());
            meeting->onViewShown();
            showView(StatusRules::MeetingStatusView);
        }
    }
    int next = StatusRules::afterStateChange(m_viewNumber, status);
    if (next != m_viewNumber)
        showView(next);
}

void CDlgController::onConnectionStatusChange(int)
{
    TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    int status = static_cast<int>(session.getConnectionStatus());
    StatusRules::Header header = StatusRules::header(session);
    if (header.retryPreviousUser && m_commands.switchUserFlag() &&
        !session.getUserName().empty()) {
        // A wrong password while switching users: the previous user carries
        // on. The flag is spent, so a failure of the previous user's own
        // sign-in cannot start this again.
        m_commands.endSwitchUser();
        m_client.logOn(session.getUserName(), session.getUserPassword());
        messageBox(
            L"Incorrect username/password.  You will be logged back in as the original user.",
            MB_ICONEXCLAMATION);
        return;
    }
    m_userLabel = header.userLabel;
    if (header.reconnectText)
        m_statusText = m_client.getNextReconnectionTime();
    else if (header.changesStatus)
        m_statusText = header.statusText;
    setStatusBitmap(header.bitmap);
    // A window made while an error of the start was in force shows no view;
    // the first status that has one brings it (the sign-in, or the
    // states once connected), so the window never stays empty.
    if (m_viewNumber == StatusRules::NoView) {
        int first = StatusRules::firstView(session);
        if (first != StatusRules::NoView)
            showView(first);
    }
    if (status == static_cast<int>(Status::Connected)) {
        m_commands.endSwitchUser();
        updateReportsLink();
        if (m_viewNumber == StatusRules::SignInView || m_viewNumber == StatusRules::SwitchUserView)
            showView(StatusRules::ChangeStatusView);
    }
    setItemText(IDC_USER_LABEL, m_userLabel);
    setItemText(IDC_STATUS_TEXT, m_statusText);
    for (auto& entry : m_views)
        entry.second->onConnectionStatusChange(status);
}

void CDlgController::onClientProfileChange()
{
    for (auto& entry : m_views)
        entry.second->onClientProfileChange();
    m_commands.updateTrayIcon();
    showView(m_viewNumber);
}

void CDlgController::setUserLabel(const std::wstring& label)
{
    m_userLabel = label;
    setItemText(IDC_USER_LABEL, label);
}

void CDlgController::updateReportsLink()
{
    const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    bool show = StatusRules::showReportsLink(session);
    showItem(IDC_REPORTS_LINK, show);
    showItem(IDC_REPORTS_ICON, show);
    if (show)
        link(IDC_REPORTS_LINK)
            ->setAddress(AuthenticationURL::generate(session, m_client.getReportsURL(), false));
}

std::wstring CDlgController::localVersion()
{
    Version version;
    if (!version.getInfoFromExecutable(executablePath().c_str()))
        return std::wstring();
    return VersionText::fromFileVersion(version.getFileVersion());
}

int CDlgController::messageBox(const std::wstring& text, UINT flags)
{
    return MessageBoxW(hwnd(), text.c_str(), L"Ondrivex", flags);
}

void CDlgController::showAboutBox()
{
    CAboutDlg about(localVersion());
    about.doModal(hwnd());
}

void CDlgController::onCommand(int id, int code)
{
    switch (id) {
    case IDOK:
        if (m_viewNumber == StatusRules::SignInView || m_viewNumber == StatusRules::SwitchUserView)
            m_commands.signIn();
        break;
    case IDCANCEL: // Escape
        if (m_viewNumber != StatusRules::ChangeStatusView)
            showView(StatusRules::ChangeStatusView);
        break;
    case IDC_PRIVATE:
        showView(StatusRules::GotoPrivacyView);
        break;
    case IDC_MEETING:
        showView(StatusRules::GotoMeetingView);
        break;
    case IDC_PHONE:
        showView(StatusRules::GotoPhoneView);
        break;
    case IDC_CURRENT_STATUS:
        showView(StatusRules::StatusView);
        break;
    case IDC_HIDE:
        hideToTray(true);
        break;
    case IDC_MINIMISE:
        minimiseWindow();
        break;
    default:
        // Sign-in, the declared states, the tray menu's entries.
        m_commands.run(id);
        break;
    }
}

void CDlgController::onTimer(UINT_PTR id)
{
    if (id != HeartbeatTimer)
        return;
    m_client.doWork();
    const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    bool reconnect = false;
    std::wstring text;
    if (StatusRules::timerStatusText(session, reconnect, text)) {
        m_statusText = reconnect ? m_client.getNextReconnectionTime() : text;
        if (itemText(IDC_STATUS_TEXT) != m_statusText)
            setItemText(IDC_STATUS_TEXT, m_statusText);
    }
}

void CDlgController::onClose()
{
    savePlacement();
    KillTimer(hwnd(), HeartbeatTimer);
    m_commands.tray().remove();
    for (auto& entry : m_views)
        if (entry.second->hwnd())
            SendMessageW(entry.second->hwnd(), WM_CLOSE, 0, 0);
    m_client.setStatusWindow(nullptr);
    m_ended = true;
    destroy();
}

void CDlgController::runModalLoop()
{
    MSG message;
    while (!m_ended && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_KEYDOWN && message.wParam == VK_BACK) {
            // Backspace leads back to the states, except while typing.
            wchar_t kind[16] = L"";
            GetClassNameW(message.hwnd, kind, 16);
            if (lstrcmpiW(kind, L"Edit") != 0 && hwnd() &&
                (message.hwnd == hwnd() || IsChild(hwnd(), message.hwnd))) {
                SendMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
                continue;
            }
        }
        if (hwnd() && IsDialogMessageW(hwnd(), &message))
            continue;
        if (m_log.hwnd() && IsDialogMessageW(m_log.hwnd(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool CDlgController::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (message == ClientMessages::systemInfoUpdate()) {
        switch (wParam) {
        case 0:
            onSystemInfoUpdate();
            break;
        case 1: {
            const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
            onConnectionStatusChange(static_cast<int>(session.getConnectionStatus()));
            std::wstring motd =
                m_motd.check(session, session.isLoggedOn() ? m_client.getMOTD() : L"");
            if (!motd.empty())
                m_commands.tray().showBalloon(motd, L"Ondrivex", 2, 10000);
            m_commands.updateTrayIcon();
            updateReportsLink();
            break;
        }
        case 2:
            onClientProfileChange();
            break;
        default:
            break;
        }
        result = TRUE;
        return true;
    }
    if (message == ClientMessages::trayNotify()) {
        m_commands.onTrayNotify(wParam, lParam);
        result = TRUE;
        return true;
    }
    if (message == ClientMessages::hyperlinkClicked()) {
        if (wParam == IDC_REPORTS_LINK) {
            const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
            std::wstring address =
                AuthenticationURL::generate(session, m_client.getReportsURL(), false);
            link(IDC_REPORTS_LINK)->setAddress(address);
            CXHyperLink::open(address, SW_SHOW);
        }
        result = TRUE;
        return true;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            showAboutBox();
            result = TRUE;
            return true;
        }
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            hideToTray(true);
            result = TRUE;
            return true;
        }
        if ((wParam & 0xFFF0) == SC_MINIMIZE)
            minimiseWindow();
        return false;
    case WM_RBUTTONUP:
        toggleLogWindow();
        result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
        // The whole surface drags the borderless window.
        ReleaseCapture();
        SendMessageW(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        result = TRUE;
        return true;
    default:
        return false;
    }
}

Skin::ButtonKind CDlgController::buttonKind(int id) const
{
    return (id == IDC_HIDE || id == IDC_MINIMISE) ? Skin::Frame : Skin::Secondary;
}

void CDlgController::staticColours(int id, COLORREF& text, HBRUSH& background) const
{
    switch (id) {
    case IDC_USER_LABEL:
    case IDC_STATUS_TEXT:
    case IDC_STATUS_BITMAP:
        text = RGB(255, 255, 255);
        background = Skin::headerBrush();
        break;
    case IDC_REPORTS_LINK:
    case IDC_REPORTS_ICON:
    case IDC_HELP_LINK:
        text = Skin::LinkText;
        background = Skin::footerBrush();
        break;
    default:
        text = Skin::Text;
        background = Skin::pageBrush();
        break;
    }
}

void CDlgController::paintBackground(HDC dc, const RECT& client)
{
    RECT header = client;
    header.bottom = headerHeight();
    FillRect(dc, &header, Skin::headerBrush());
    RECT page = client;
    page.top = header.bottom;
    page.bottom = footerTop();
    FillRect(dc, &page, Skin::pageBrush());
    RECT footer = client;
    footer.top = page.bottom;
    FillRect(dc, &footer, Skin::footerBrush());
    HPEN line = CreatePen(PS_SOLID, 1, Skin::Line);
    HGDIOBJ old = SelectObject(dc, line);
    MoveToEx(dc, client.left, footer.top, nullptr);
    LineTo(dc, client.right, footer.top);
    SelectObject(dc, old);
    DeleteObject(line);
    // A hairline frame, as the window has no border of its own.
    HBRUSH frame = CreateSolidBrush(RGB(0, 70, 140));
    FrameRect(dc, &client, frame);
    DeleteObject(frame);

    RECT dlu{0, 0, 12, 5};
    MapDialogRect(hwnd(), &dlu);
    HGDIOBJ oldFont = SelectObject(dc, Skin::titleFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(200, 224, 248));
    RECT title{dlu.right, dlu.bottom, client.right - 80, header.bottom};
    DrawTextW(dc, L"ONDRIVEX", -1, &title, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}
