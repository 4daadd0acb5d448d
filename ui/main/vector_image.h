// Pictures described as filled shapes on a square view box and drawn at whatever size is
// needed, with smooth edges.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct TVectorPoint {
    double X;
    double Y;
};

// A closed polygon in view-box units (x to the right, y downwards).
using TVectorContour = std::vector<TVectorPoint>;

// One colour over the area of its contours, filled with the even-odd rule: a contour inside
// another one cuts a hole.
struct TVectorLayer {
    COLORREF Color;
    std::vector<TVectorContour> Contours;
};

struct TVectorImage {
    double ViewBox;                    // width and height of the square view box
    std::vector<TVectorLayer> Layers;  // painted in order, each over the ones before
};

// Shapes in view-box units. Angles are in degrees, counter-clockwise from three o'clock as
// the eye sees it.
TVectorContour CircleContour(double cx, double cy, double radius);
TVectorContour RectContour(double left, double top, double right, double bottom);
// The band between two radii from one angle to another, counter-clockwise.
TVectorContour ArcBandContour(double cx, double cy, double inner, double outer, double fromDeg, double toDeg);
// A gear wheel: teeth with flat tops on the outer radius, the gaps on the root radius;
// toothShare is the part of each tooth's pitch that its top takes.
TVectorContour GearContour(double cx, double cy, int teeth, double outer, double root, double toothShare);

// The image drawn at size x size pixels: premultiplied BGRA, rows from the top.
std::vector<uint32_t> RenderVectorImage(const TVectorImage& image, int size);
