#pragma once
// Layout measures are given in twips (1/1440 inch). They are turned into pixels with the
// logical DPI of the widget that shows them, so the layout scales on high-DPI screens:
// at 96 DPI, 15 twips make one pixel.

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace twips {

constexpr int kPerInch = 1440;

[[nodiscard]] inline int logicalDpiX(const QWidget *w)
{
    if (w)
        return w->logicalDpiX();
    if (const QScreen *s = QGuiApplication::primaryScreen())
        return qRound(s->logicalDotsPerInchX());
    return 96;
}

[[nodiscard]] inline int logicalDpiY(const QWidget *w)
{
    if (w)
        return w->logicalDpiY();
    if (const QScreen *s = QGuiApplication::primaryScreen())
        return qRound(s->logicalDotsPerInchY());
    return 96;
}

[[nodiscard]] inline int toPixels(int twips, int dpi)
{
    return int(std::lround(double(twips) * dpi / kPerInch));
}

[[nodiscard]] inline int fromPixels(int pixels, int dpi)
{
    return dpi > 0 ? int(std::lround(double(pixels) * kPerInch / dpi)) : 0;
}

} // namespace twips

// Horizontal measures (widths); the widget's own DPI, or the primary screen's without one.
[[nodiscard]] inline int twipsToPixels(int twips, const QWidget *w = nullptr)
{
    return twips::toPixels(twips, twips::logicalDpiX(w));
}

// Vertical measures (heights, top positions).
[[nodiscard]] inline int twipsToPixelsY(int twips, const QWidget *w = nullptr)
{
    return twips::toPixels(twips, twips::logicalDpiY(w));
}

[[nodiscard]] inline int pixelsToTwips(int pixels, const QWidget *w = nullptr)
{
    return twips::fromPixels(pixels, twips::logicalDpiX(w));
}
