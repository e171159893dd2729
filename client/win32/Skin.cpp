#include "client/win32/Skin.h"

#include <string>

namespace {
HFONT makeFont(int points, int weight, bool underline)
{
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

void fillRound(HDC dc, const RECT& r, COLORREF fill, COLORREF edge, int radius)
{
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}
} // namespace

HBRUSH Skin::pageBrush()
{
    static HBRUSH brush = CreateSolidBrush(Page);
    return brush;
}

HBRUSH Skin::headerBrush()
{
    static HBRUSH brush = CreateSolidBrush(HeaderBand);
    return brush;
}

HBRUSH Skin::footerBrush()
{
    static HBRUSH brush = CreateSolidBrush(Footer);
    return brush;
}

HFONT Skin::bodyFont()
{
    static HFONT font = makeFont(9, FW_NORMAL, false);
    return font;
}

HFONT Skin::headingFont()
{
    static HFONT font = makeFont(11, FW_SEMIBOLD, false);
    return font;
}

HFONT Skin::titleFont()
{
    static HFONT font = makeFont(10, FW_BOLD, false);
    return font;
}

HFONT Skin::linkFont()
{
    static HFONT font = makeFont(9, FW_NORMAL, true);
    return font;
}

void Skin::drawButton(const DRAWITEMSTRUCT& item, ButtonKind kind, HBITMAP picture)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    bool pressed = (item.itemState & ODS_SELECTED) != 0;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    bool focused = (item.itemState & ODS_FOCUS) != 0;
    wchar_t text[128] = L"";
    GetWindowTextW(item.hwndItem, text, 128);

    if (kind == Frame) {
        // The header's small buttons: a glyph on the band, lighter when pressed.
        static HBRUSH pressedBrush = CreateSolidBrush(AccentDark);
        FillRect(dc, &r, pressed ? pressedBrush : headerBrush());
        HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
        HGDIOBJ old = SelectObject(dc, pen);
        int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        if (std::wstring(text) == L"Minimise") {
            MoveToEx(dc, cx - 5, cy + 3, nullptr);
            LineTo(dc, cx + 5, cy + 3);
        } else {
            // Hide to the tray: a chevron pointing down.
            MoveToEx(dc, cx - 5, cy - 2, nullptr);
            LineTo(dc, cx, cy + 3);
            LineTo(dc, cx + 5, cy - 2);
        }
        SelectObject(dc, old);
        DeleteObject(pen);
        return;
    }

    FillRect(dc, &r, pageBrush());
    COLORREF fill, edge, ink;
    if (kind == Primary) {
        fill = disabled ? RGB(160, 190, 220) : (pressed ? AccentDark : Accent);
        edge = fill;
        ink = RGB(255, 255, 255);
    } else if (kind == Tile) {
        fill = pressed ? RGB(214, 230, 246) : RGB(240, 246, 252);
        edge = RGB(190, 212, 236);
        ink = Text;
    } else {
        fill = pressed ? RGB(226, 229, 234) : RGB(246, 247, 249);
        edge = Line;
        ink = disabled ? RGB(160, 160, 160) : Text;
    }
    RECT body = r;
    InflateRect(&body, -1, -1);
    fillRound(dc, body, fill, edge, kind == Tile ? 10 : 6);

    HGDIOBJ oldFont = SelectObject(dc, kind == Tile ? titleFont() : bodyFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink);
    RECT textBox = body;
    if (kind == Tile && picture) {
        BITMAP info{};
        GetObjectW(picture, sizeof info, &info);
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ oldBitmap = SelectObject(mem, picture);
        int x = (body.left + body.right - info.bmWidth) / 2;
        int y = body.top + 10;
        // The pictures are drawn on white; their white corners become the tile.
        TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, info.bmWidth,
                       info.bmHeight, RGB(255, 255, 255));
        SelectObject(mem, oldBitmap);
        DeleteDC(mem);
        textBox.top = y + info.bmHeight + 4;
        DrawTextW(dc, text, -1, &textBox, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    } else {
        DrawTextW(dc, text, -1, &textBox, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    if (focused && kind != Primary) {
        RECT f = body;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void Skin::drawDigit(HDC dc, const RECT& box, int digit)
{
    // Segments a to g, lit per digit.
    static const unsigned char lit[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                          0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    FillRect(dc, &box, pageBrush());
    int w = box.right - box.left, h = box.bottom - box.top;
    int t = w / 6 > 2 ? w / 6 : 2; // segment thickness
    int x0 = box.left + t / 2, x1 = box.right - t / 2 - 1;
    int y0 = box.top + t / 2, ym = box.top + h / 2, y1 = box.bottom - t / 2 - 1;
    struct Seg {
        int ax, ay, bx, by;
    };
    const Seg segs[7] = {
        {x0 + t, y0, x1 - t, y0}, {x1, y0 + t, x1, ym - t}, {x1, ym + t, x1, y1 - t},
        {x0 + t, y1, x1 - t, y1}, {x0, ym + t, x0, y1 - t}, {x0, y0 + t, x0, ym - t},
        {x0 + t, ym, x1 - t, ym},
    };
    unsigned char on = (digit >= 0 && digit <= 9) ? lit[digit] : 0;
    for (int s = 0; s < 7; ++s) {
        COLORREF colour = (on & (1 << s)) ? DigitLit : DigitUnlit;
        HPEN pen = CreatePen(PS_SOLID, t, colour);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, segs[s].ax, segs[s].ay, nullptr);
        LineTo(dc, segs[s].bx, segs[s].by);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}
