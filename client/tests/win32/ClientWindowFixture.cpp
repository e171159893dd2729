#include "win32/ClientWindowFixture.h"

#include <cstdio>
#include <vector>

#include "client/win32/ClientMessages.h"
#include "client/win32/CXHyperLink.h"
#include "win32/ScreenPicture.h"

namespace clienttest {

void pump()
{
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::wstring textOf(HWND control)
{
    wchar_t buffer[512] = L"";
    GetWindowTextW(control, buffer, 512);
    return buffer;
}

void click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
    pump();
}

namespace {
std::wstring screenshotFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder = folder.substr(0, folder.find_last_of(L"\\/")); // bin
    folder = folder.substr(0, folder.find_last_of(L"\\/")) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}
} // namespace

void screenshot(HWND window, const std::wstring& name)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
    RECT r;
    GetWindowRect(window, &r);
    std::wstring why;
    // A missing picture fails no test: the tests check the windows themselves.
    screenpicture::write(r, screenshotFolder() + L"\\" + name + L".bmp", why);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

ClientWindowTest::ClientWindowTest()
{
    CXHyperLink::setOpener(
        [this](const std::wstring& address, int show) { opened.emplace_back(address, show); });
}

ClientWindowTest::~ClientWindowTest()
{
    window.reset();
    CXHyperLink::setOpener(nullptr);
    pump();
}

void ClientWindowTest::open(bool show)
{
    window.reset(new TestController(client, settings, client.clock));
    ASSERT_TRUE(window->create(nullptr));
    if (!show)
        ShowWindow(window->hwnd(), SW_HIDE);
    pump();
}

void ClientWindowTest::update(int code)
{
    SendMessageW(window->hwnd(), ClientMessages::systemInfoUpdate(), static_cast<WPARAM>(code), 0);
    pump();
}

} // namespace clienttest
