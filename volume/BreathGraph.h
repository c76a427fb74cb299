#pragma once
// The breath graph: a 1450 x 500 image with a label margin on the left, the
// pressure curve above a band at y 200 and the volume curve above a band at
// y 450, one pixel per 0.02 s slot. Drawing only; what is drawn comes from
// the recorder (volume/BreathRecord.h).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <vector>

inline const QColor GraphBlue(0, 0, 255);
inline const QColor GraphGrey(128, 128, 128);
inline const QColor PressureCurveColor(0, 0, 255);
inline const QColor VolumeCurveColor(255, 0, 0);

// The image the window draws on, white.
QImage NewGraphImage();

// A labelled horizontal line of a scale; the label's top is 5 pixels above.
struct ScaleLine {
    int y;
    QString label;
};

// The pressure scale's lines at a scale 1..5. Each line is labelled with
// the pressure that the curve draws on it.
std::vector<ScaleLine> PressureScaleLines(int scale);
// The line across the pressure area that marks the same pressure at every scale.
int PressureReferenceY(int scale);
// The volume scale's labels, 1.0 to 6.0 litres, beside the horizontal grid lines.
std::vector<ScaleLine> VolumeScaleLabels();

// Clears the image to white and draws the grid, then the scales.
void DrawGraphBackground(QImage &image, int pressureScale, const QFont &font);

// One segment of a curve, in the curves' 1-pixel dotted pen.
void DrawCurveSegment(QImage &image, QPoint from, QPoint to, const QColor &color);
