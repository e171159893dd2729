#pragma once
// A rectangle of the screen as shown, written as a 24-bit BMP file: the
// pictures the client's window tests leave for a person to look at. Header
// only, so that the test program and the helper programs (which link no
// test support) share it.
#include <cstdio>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"

namespace screenpicture {

// False, with why filled in, when the rectangle is empty or off the screen,
// the screen cannot be read or the file cannot be written.
inline bool write(RECT r, const std::wstring& path, std::wstring& why)
{
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&r, &r, &screen)) {
        why = L"the windows are off the screen";
        return false;
    }
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDc, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screenDc, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up, as a BMP file stores it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(stride * static_cast<DWORD>(height));
    const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
    if (lines != height) {
        why = L"the screen could not be read";
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) {
        why = L"cannot write " + path;
        return false;
    }
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    written = fclose(out) == 0 && written;
    if (!written)
        why = L"cannot write " + path;
    return written;
}

} // namespace screenpicture
