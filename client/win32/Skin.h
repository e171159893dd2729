#pragma once
#include "base/win32/WindowsSupport.h"

// The look of the client's windows in one place: colours, fonts and the
// drawing of the owner-drawn buttons and seven-segment digits. Everything is
// created once per process and lives as long as it.
class Skin {
public:
    // Colours.
    static const COLORREF Accent = RGB(0, 103, 192);
    static const COLORREF AccentDark = RGB(0, 84, 160);
    static const COLORREF HeaderBand = RGB(0, 90, 170);
    static const COLORREF Page = RGB(255, 255, 255);
    static const COLORREF Footer = RGB(243, 245, 248);
    static const COLORREF Text = RGB(32, 32, 32);
    static const COLORREF Muted = RGB(96, 102, 112);
    static const COLORREF Line = RGB(218, 222, 228);
    static const COLORREF LinkText = 0xEE0000; // as the system writes colours: blue
    // The clock's segments: lit ones in the accent's dark blue, unlit ones
    // a faint trace of the digit, so that the time reads at a glance (a
    // contrast of more than 4.5 to 1 between the two).
    static const COLORREF DigitLit = RGB(0, 84, 160);
    static const COLORREF DigitUnlit = RGB(232, 237, 244);

    enum ButtonKind { Primary, Secondary, Tile, Frame };

    static HBRUSH pageBrush();
    static HBRUSH headerBrush();
    static HBRUSH footerBrush();
    static HFONT bodyFont();
    static HFONT headingFont();
    static HFONT titleFont();
    static HFONT linkFont();

    // Draws an owner-drawn button of that kind; a tile also shows the
    // picture (may be null) above its text.
    static void drawButton(const DRAWITEMSTRUCT& item, ButtonKind kind, HBITMAP picture = nullptr);
    // One seven-segment digit (0 to 9) filling the rectangle.
    static void drawDigit(HDC dc, const RECT& box, int digit);
};
