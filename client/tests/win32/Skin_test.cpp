#include "client/win32/Skin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Copies of the skin's constants, which have no definition of their own.
const COLORREF Lit = Skin::DigitLit;
const COLORREF Unlit = Skin::DigitUnlit;
const COLORREF Page = Skin::Page;

// The relative luminance and contrast ratio of two colours, as accessibility
// guidelines define them.
double luminance(COLORREF colour)
{
    auto channel = [](int value) {
        double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
           0.0722 * channel(GetBValue(colour));
}

double contrast(COLORREF a, COLORREF b)
{
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// One digit drawn as the timed views draw it, in a box of their size.
class DigitPicture {
public:
    explicit DigitPicture(int digit)
    {
        m_dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = Width;
        info.bmiHeader.biHeight = -Height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        RECT box{0, 0, Width, Height};
        Skin::drawDigit(m_dc, box, digit);
        GdiFlush();
    }
    ~DigitPicture()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    COLORREF at(int x, int y) const { return GetPixel(m_dc, x, y); }

    static const int Width = 33, Height = 54;

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

TEST(SkinTest, LitAndUnlitSegmentsAreClearlyToldApart)
{
    EXPECT_GE(contrast(Lit, Unlit), 4.5);
    EXPECT_GE(contrast(Lit, Page), 4.5);
    // The unlit trace is there, but only just.
    EXPECT_LT(contrast(Unlit, Page), 1.3);
    EXPECT_NE(Unlit, Page);
}

TEST(SkinTest, DigitsLightTheirSegmentsInTheLitColour)
{
    // The middle of the top segment (a) and of the upper right one (b).
    const int t = DigitPicture::Width / 6;
    const int topX = DigitPicture::Width / 2, topY = t / 2;
    const int rightX = DigitPicture::Width - t / 2 - 1, rightY = DigitPicture::Height / 4;
    DigitPicture one(1), seven(7), eight(8);
    EXPECT_EQ(Unlit, one.at(topX, topY));
    EXPECT_EQ(Lit, one.at(rightX, rightY));
    EXPECT_EQ(Lit, seven.at(topX, topY));
    EXPECT_EQ(Lit, eight.at(topX, topY));
    // The middle segment (g): off in 7, on in 8.
    EXPECT_EQ(Unlit, seven.at(topX, DigitPicture::Height / 2));
    EXPECT_EQ(Lit, eight.at(topX, DigitPicture::Height / 2));
    // The corners stay the page.
    EXPECT_EQ(Page, eight.at(0, 0));
}

} // namespace
