#include "monitor/pixel_surface.h"

#include <algorithm>
#include <cstdlib>

void PixelSurface::Resize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(size_t(m_width) * size_t(m_height), 0);
}

Colour PixelSurface::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return ColourToPixel(m_pixels[size_t(y) * m_width + x]);
}

void PixelSurface::SetPixel(int x, int y, Colour colour) {
    if (x >= 0 && y >= 0 && x < m_width && y < m_height)
        m_pixels[size_t(y) * m_width + x] = ColourToPixel(colour);
}

void FillBox(PixelSurface& surface, int top, int bottom, int left, int right, Colour colour) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, surface.Width());
    bottom = std::min(bottom, surface.Height());
    if (left >= right)
        return;
    const uint32_t pixel = ColourToPixel(colour);
    for (int y = top; y < bottom; ++y)
        std::fill(surface.Row(y) + left, surface.Row(y) + right, pixel);
}

// Bresenham's line; the monitor itself draws only horizontal and vertical ones.
void DrawLine(PixelSurface& surface, int x1, int y1, int x2, int y2, Colour colour) {
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    int error = dx - dy;
    int x = x1;
    int y = y1;
    while (x != x2 || y != y2) {
        surface.SetPixel(x, y, colour);
        const int twice = 2 * error;
        if (twice > -dy) {
            error -= dy;
            x += sx;
        }
        if (twice < dx) {
            error += dx;
            y += sy;
        }
    }
}

Rect ScrollLeftOnePixel(PixelSurface& surface, const Rect& scroll, const Rect& clip) {
    const int left = std::max({scroll.left, clip.left, 0});
    const int right = std::min({scroll.right, clip.right, surface.Width()});
    const int top = std::max({scroll.top, clip.top, 0});
    const int bottom = std::min({scroll.bottom, clip.bottom, surface.Height()});
    // Destination column x takes the source column x + 1, which must lie in the scroll
    // rectangle too.
    const int end = std::min(right, scroll.right - 1);
    if (left < end) {
        for (int y = top; y < bottom; ++y) {
            uint32_t* row = surface.Row(y);
            std::copy(row + left + 1, row + end + 1, row + left);
        }
    }
    return {scroll.right - 1, scroll.top, scroll.right, scroll.bottom};
}

int RoundedMulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    if (denominator < 0) {
        number = -number;
        denominator = -denominator;
    }
    const int64_t product = int64_t(number) * numerator;
    const int64_t result = product >= 0 ? (product + denominator / 2) / denominator
                                        : (product - denominator / 2) / denominator;
    if (result > 2147483647 || result < -2147483647)
        return -1;
    return int(result);
}
