#pragma once
#include "client/win32/Dialog.h"

class ClientOperations;

// The log window: every traced line, as it comes, in a read-only edit that
// empties itself before it would overflow. Shown and hidden from the status
// window; its 500 ms timer drains the GUI log whether it is visible or not.
class CDlgLog : public Dialog {
public:
    explicit CDlgLog(ClientOperations& client);
    // Takes every waiting line into the edit.
    void drain();
    std::wstring text() const { return itemText(1001); }

protected:
    bool onInitDialog() override;
    void onTimer(UINT_PTR id) override;
    void onClose() override { ShowWindow(hwnd(), SW_HIDE); }
    void onDestroy() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    static LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);
    ClientOperations& m_client;
};
