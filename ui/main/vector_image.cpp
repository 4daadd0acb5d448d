#include "ui/main/vector_image.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr int CircleSteps = 96;
// Sub-rows per pixel row; the horizontal coverage of each sub-row is exact.
constexpr int SubRows = 16;

TVectorPoint Polar(double cx, double cy, double radius, double deg)
{
    const double rad = deg * std::numbers::pi / 180.0;
    return {cx + radius * std::cos(rad), cy - radius * std::sin(rad)};
}

// Adds the part of the span [x0, x1) (in pixels) that lies in each pixel of the row.
void AddSpan(std::vector<double>& row, double x0, double x1, double weight)
{
    const int size = static_cast<int>(row.size());
    x0 = std::clamp(x0, 0.0, static_cast<double>(size));
    x1 = std::clamp(x1, 0.0, static_cast<double>(size));
    if (x1 <= x0)
        return;
    const int first = static_cast<int>(x0);
    const int last = std::min(static_cast<int>(x1), size - 1);
    if (first == last) {
        row[first] += (x1 - x0) * weight;
        return;
    }
    row[first] += (first + 1 - x0) * weight;
    for (int px = first + 1; px < last; ++px)
        row[px] += weight;
    row[last] += (x1 - last) * weight;
}

// The share of every pixel that the layer's contours cover, 0 to 1.
std::vector<double> LayerCoverage(const TVectorLayer& layer, double scale, int size)
{
    std::vector<double> coverage(static_cast<size_t>(size) * size, 0.0);
    std::vector<double> row(size);
    std::vector<double> crossings;
    for (int py = 0; py < size; ++py) {
        std::fill(row.begin(), row.end(), 0.0);
        for (int sub = 0; sub < SubRows; ++sub) {
            const double y = (py + (sub + 0.5) / SubRows) / scale;
            crossings.clear();
            for (const TVectorContour& contour : layer.Contours) {
                const size_t n = contour.size();
                for (size_t i = 0; i < n; ++i) {
                    const TVectorPoint& a = contour[i];
                    const TVectorPoint& b = contour[(i + 1) % n];
                    if ((a.Y <= y && y < b.Y) || (b.Y <= y && y < a.Y))
                        crossings.push_back((a.X + (y - a.Y) * (b.X - a.X) / (b.Y - a.Y)) * scale);
                }
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t i = 0; i + 1 < crossings.size(); i += 2)
                AddSpan(row, crossings[i], crossings[i + 1], 1.0 / SubRows);
        }
        std::copy(row.begin(), row.end(), coverage.begin() + static_cast<ptrdiff_t>(py) * size);
    }
    return coverage;
}
}  // namespace

TVectorContour CircleContour(double cx, double cy, double radius)
{
    TVectorContour c;
    for (int i = 0; i < CircleSteps; ++i)
        c.push_back(Polar(cx, cy, radius, 360.0 * i / CircleSteps));
    return c;
}

TVectorContour RectContour(double left, double top, double right, double bottom)
{
    return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

TVectorContour ArcBandContour(double cx, double cy, double inner, double outer, double fromDeg, double toDeg)
{
    const int steps = std::max(2, static_cast<int>(std::ceil((toDeg - fromDeg) / 360.0 * CircleSteps)));
    TVectorContour c;
    for (int i = 0; i <= steps; ++i)
        c.push_back(Polar(cx, cy, outer, fromDeg + (toDeg - fromDeg) * i / steps));
    for (int i = steps; i >= 0; --i)
        c.push_back(Polar(cx, cy, inner, fromDeg + (toDeg - fromDeg) * i / steps));
    return c;
}

TVectorContour GearContour(double cx, double cy, int teeth, double outer, double root, double toothShare)
{
    const double pitch = 360.0 / teeth;
    const double halfTop = pitch * toothShare / 2;
    const double halfBase = halfTop + pitch * 0.1;
    constexpr int RootSteps = 4;
    TVectorContour c;
    for (int t = 0; t < teeth; ++t) {
        const double mid = t * pitch;
        c.push_back(Polar(cx, cy, root, mid - halfBase));
        c.push_back(Polar(cx, cy, outer, mid - halfTop));
        c.push_back(Polar(cx, cy, outer, mid + halfTop));
        c.push_back(Polar(cx, cy, root, mid + halfBase));
        // The gap to the next tooth follows the root circle.
        const double gapFrom = mid + halfBase;
        const double gapTo = mid + pitch - halfBase;
        for (int i = 1; i < RootSteps; ++i)
            c.push_back(Polar(cx, cy, root, gapFrom + (gapTo - gapFrom) * i / RootSteps));
    }
    return c;
}

std::vector<uint32_t> RenderVectorImage(const TVectorImage& image, int size)
{
    const size_t count = static_cast<size_t>(size) * size;
    // Premultiplied colour and alpha, 0 to 1.
    std::vector<double> r(count), g(count), b(count), a(count);
    const double scale = size / image.ViewBox;
    for (const TVectorLayer& layer : image.Layers) {
        const std::vector<double> coverage = LayerCoverage(layer, scale, size);
        const double lr = GetRValue(layer.Color) / 255.0;
        const double lg = GetGValue(layer.Color) / 255.0;
        const double lb = GetBValue(layer.Color) / 255.0;
        for (size_t i = 0; i < count; ++i) {
            const double c = std::min(coverage[i], 1.0);
            r[i] = lr * c + r[i] * (1 - c);
            g[i] = lg * c + g[i] * (1 - c);
            b[i] = lb * c + b[i] * (1 - c);
            a[i] = c + a[i] * (1 - c);
        }
    }
    std::vector<uint32_t> pixels(count);
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    for (size_t i = 0; i < count; ++i) {
        const uint32_t alpha = byte(a[i]);
        // Rounding must not push a channel above its alpha.
        const uint32_t red = std::min(byte(r[i]), alpha);
        const uint32_t green = std::min(byte(g[i]), alpha);
        const uint32_t blue = std::min(byte(b[i]), alpha);
        pixels[i] = (alpha << 24) | (red << 16) | (green << 8) | blue;
    }
    return pixels;
}
