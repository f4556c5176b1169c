#pragma once

#include <QRect>

namespace tallyra {

// Window positions are designed in twips: 1440 per inch, 15 per pixel at 96 dpi.
constexpr int twipsToPixels(int twips) { return (twips + (twips >= 0 ? 7 : -7)) / 15; }

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace tallyra
