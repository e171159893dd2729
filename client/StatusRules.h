#pragma once
#include <string>

class ClientProfile;
class TavelinSessionDetails;
class UserStatus;

// The status window's decisions that do not need a window: which view
// follows which, what the header says for a connection state and which icon
// and menu the tray shows. The window (win32/CDlgController) applies them.
class StatusRules {
public:
    // The ten views; 0 shows none.
    enum View {
        NoView = 0,
        SignInView = 1,
        SwitchUserView = 2,
        StatusView = 3,
        MeetingStatusView = 4,
        PhoneStatusView = 5,
        PrivacyStatusView = 6,
        ChangeStatusView = 7,
        GotoMeetingView = 8,
        GotoPhoneView = 9,
        GotoPrivacyView = 10,
    };
    // The view's name ("SIGNIN_VIEW" ... "GOTOPRIVACY_VIEW"); empty for
    // numbers outside 1 to 10.
    static std::wstring viewName(int view);
    // The order in which the window creates its views.
    static const int CreationOrder[10];

    // The view a window opens with: 2 when no sign-in details are saved
    // (connection error "log on process failed"), none for any other
    // connection error, else 1.
    static int firstView(const TavelinSessionDetails& session);
    // Where "Cancel" leads: 1 when not logged on; else the timed view of the
    // meeting, phone call or personal time going on (in that order); else 7.
    static int cancelTarget(const TavelinSessionDetails& session, const UserStatus& status);
    // Where a timed view goes once its state has ended: 7 when the current
    // view is 4, 5 or 6 and the user is no longer at a meeting, on the phone
    // or in personal time respectively; else the current view.
    static int afterStateChange(int currentView, const UserStatus& status);

    // The header for a connection state.
    struct Header {
        std::wstring userLabel;
        std::wstring statusText; // meaningful when changesStatus
        bool changesStatus = true;
        int bitmap = 141;               // status picture: 144 when connected
        bool reconnectText = false;     // the status text is the next reconnection time
        bool retryPreviousUser = false; // authentication failed: may log the previous user back on
    };
    static Header header(const TavelinSessionDetails& session);
    // The status text the 200 ms timer shows while a connection is retried,
    // and whether it shows one at all.
    static bool timerStatusText(const TavelinSessionDetails& session, bool& reconnectTime,
                                std::wstring& text);

    // The tray: state number, icon resource (0 when hidden) and menu
    // resource (0 when left as it is).
    struct Tray {
        int state = 1;
        int icon = 155;
        int menu = 149;
        bool hidden = false;
    };
    static Tray tray(const TavelinSessionDetails& session, const UserStatus& status);

    // Whether the reports link and its icon are shown.
    static bool showReportsLink(const TavelinSessionDetails& session);
};
