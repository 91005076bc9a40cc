// Off-screen 32-bit pictures and the drawing primitives the monitor uses, with the pixel rules
// of Windows GDI: a box leaves out its right column and bottom row, a line leaves out its end
// point, MulDiv rounds to the nearest integer. A surface's pixels are laid out as a top-down
// 32-bit DIB (0x00RRGGBB), ready to be copied to a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A colour as Windows' COLORREF holds it: 0x00BBGGRR.
using Colour = uint32_t;
constexpr Colour MakeColour(int r, int g, int b) {
    return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}

// COLORREF 0x00BBGGRR to a DIB pixel 0x00RRGGBB, and back (the swap is its own inverse).
constexpr uint32_t ColourToPixel(Colour c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class PixelSurface {
public:
    PixelSurface() = default;
    PixelSurface(int width, int height) { Resize(width, height); }

    // Sets the size and clears every pixel to black.
    void Resize(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Rect ClientRect() const { return {0, 0, m_width, m_height}; }

    // The pixel's colour as a COLORREF; black outside the surface.
    Colour GetPixel(int x, int y) const;
    void SetPixel(int x, int y, Colour colour);

    // Rows of 32-bit 0x00RRGGBB pixels, top row first.
    const uint32_t* Bits() const { return m_pixels.data(); }
    uint32_t* Row(int y) { return m_pixels.data() + size_t(y) * size_t(m_width); }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};

// Fills left..right-1 × top..bottom-1 (a reversed edge pair is put in order first, as PatBlt
// does). Pixels outside the surface are left alone.
void FillBox(PixelSurface& surface, int top, int bottom, int left, int right, Colour colour);

// A one-pixel line from (x1, y1) towards (x2, y2), the end point excluded.
void DrawLine(PixelSurface& surface, int x1, int y1, int x2, int y2, Colour colour);

// ScrollDC by one pixel to the left, within scroll, writing only inside clip. Returns the
// strip that the scroll uncovered at the right edge of scroll.
Rect ScrollLeftOnePixel(PixelSurface& surface, const Rect& scroll, const Rect& clip);

// number * numerator / denominator with a 64-bit product, rounded half away from zero; -1 when
// the denominator is 0 or the result does not fit: Windows' MulDiv, on every platform.
int RoundedMulDiv(int number, int numerator, int denominator);
