#pragma once
#include <cstdint>
#include <string>

#include "client/win32/CChildDialog.h"

class Clock;

// Views 4, 5 and 6: a meeting (kind 0), phone call (1) or personal time (2)
// going on, with six seven-segment digits counting down the time left (up
// the time spent, for a phone call) once a second.
class CDlgChildCurrentStatusTimed : public CChildDialog {
public:
    CDlgChildCurrentStatusTimed(ClientOperations& client, int kind, const Clock& clock);

    // Starts the count: now, for that many seconds (ignored for a phone
    // call); the second line is cleared.
    void setUp(int seconds);
    void setTitle(const std::wstring& title) { setItemText(1060, title); }
    void setSecondLine(const std::wstring& text) { setItemText(1061, text); }
    void onViewShown() override;

    int kind() const { return m_kind; }
    // What the digits show, "HH:MM:SS".
    std::wstring shownTime() const;
    // One tick of the one-second timer.
    void tick();

protected:
    bool onInitDialog() override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    Skin::ButtonKind buttonKind(int id) const override { return Skin::Primary; }

private:
    int m_kind;
    const Clock& m_clock;
    int64_t m_start = 0;
    int m_duration = 0;
    int m_digits[6] = {0, 0, 0, 0, 0, 0};
    HBITMAP m_picture = nullptr;
};
