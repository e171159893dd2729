// A program with one top-level window, for the tests of the real desktop:
//   mon_win_x TITLE [PICTURE.bmp]
// opens a visible window with that title, asks for the foreground and runs
// until its window is closed, its standard input ends (the test dropped
// it), or two minutes pass. Each byte that arrives on its standard input is
// the user touching the mouse: a one-pixel move there and back, sent as
// input, which keeps the session from looking idle. Given PICTURE.bmp, it writes what the screen
// shows of the window there a second after it opened, for a person to look
// at in the test results.
#include "base/win32/WindowsSupport.h"

#include <shellapi.h>
#include <vector>

namespace {

const UINT_PTR GiveUpTimer = 1;
const UINT_PTR PictureTimer = 2;
const wchar_t* g_picture = nullptr;

// The title again inside the window, so a picture of it says which it is;
// the background too when the window is printed rather than painted.
void drawContent(HWND window, HDC dc, bool withBackground)
{
    RECT client;
    GetClientRect(window, &client);
    if (withBackground)
        FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    wchar_t text[512];
    GetWindowTextW(window, text, 512);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The window's rectangle as the screen shows it, as a 24-bit bitmap file.
void writePicture(HWND window, const wchar_t* path)
{
    RECT r;
    if (!GetWindowRect(window, &r))
        return;
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // The window draws itself into the picture; the screen is copied where it
    // cannot.
    if (!PrintWindow(window, memory, 0))
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.biSizeImage = stride * static_cast<DWORD>(height);
    std::vector<BYTE> pixels(info.biSizeImage);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &info, sizeof info, &written, nullptr);
    WriteFile(out, pixels.data(), info.biSizeImage, &written, nullptr);
    CloseHandle(out);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == PictureTimer) {
            KillTimer(window, PictureTimer);
            writePicture(window, g_picture);
        } else {
            DestroyWindow(window);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        drawContent(window, dc, false);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        drawContent(window, reinterpret_cast<HDC>(wParam), true);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

DWORD WINAPI watchInput(void* param)
{
    HWND window = static_cast<HWND>(param);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char byte;
    DWORD read = 0;
    while (input != nullptr && input != INVALID_HANDLE_VALUE &&
           ReadFile(input, &byte, 1, &read, nullptr) && read > 0) {
        INPUT move[2] = {};
        move[0].type = INPUT_MOUSE;
        move[0].mi.dx = 1;
        move[0].mi.dwFlags = MOUSEEVENTF_MOVE;
        move[1] = move[0];
        move[1].mi.dx = -1;
        SendInput(2, move, sizeof(INPUT));
    }
    if (input != nullptr && input != INVALID_HANDLE_VALUE)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* title = argv != nullptr && argc > 1 ? argv[1] : L"tcwin";
    g_picture = argv != nullptr && argc > 2 ? argv[2] : nullptr;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"OndrivexTestWindow";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!RegisterClassW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, L"OndrivexTestWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 320, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetTimer(window, GiveUpTimer, 120000, nullptr);
    if (g_picture != nullptr)
        SetTimer(window, PictureTimer, 1000, nullptr);
    HANDLE watcher = CreateThread(nullptr, 0, watchInput, window, 0, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (watcher != nullptr)
        CloseHandle(watcher);
    LocalFree(argv);
    return 0;
}
