#pragma once
#include "client/win32/Dialog.h"

class ClientOperations;

// The base of the status window's views: a child dialog placed in the
// window's frame. Buttons are passed on to the status window, which decides
// where each leads; the view only keeps its own controls up to date.
class CChildDialog : public Dialog {
public:
    CChildDialog(int templateId, ClientOperations& client) : Dialog(templateId), m_client(client) {}

    virtual void onViewHidden() {}
    virtual void onViewShown() {}
    virtual void onSystemInfoUpdate() {}
    virtual void onConnectionStatusChange(int status) {}
    virtual void onClientProfileChange() {}

protected:
    bool onInitDialog() override;
    void onCommand(int id, int code) override;
    Skin::ButtonKind buttonKind(int id) const override;
    void staticColours(int id, COLORREF& text, HBRUSH& background) const override;

    ClientOperations& m_client;
};
