#include "volume/BreathGraph.h"

#include "volume/BreathRecord.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <array>

namespace {

constexpr int LabelX = 5;
constexpr int LabelRaise = 5;
constexpr int BandHeight = 50;
constexpr int PixelsPerTwoSeconds = 100;

struct ScaleSpacing {
    int lines;
    int pixels;   // between two lines
};

constexpr std::array<ScaleSpacing, MaxPressureScale> PressureSpacings{{{11, 17}, {11, 17}, {6, 33}, {3, 63}, {2, 125}}};
constexpr std::array<int, MaxPressureScale> ReferenceYs{194, 189, 177, 153, 115};

constexpr std::array<int, 5> VolumeGridYs{285, 318, 351, 384, 417};
constexpr int VolumeLabelSpacing = 33;
constexpr int VolumeLabels = 6;
constexpr int TimeLabels = 8;   // 0 to 14 s

QPen DottedPen(const QColor &color)
{
    return QPen(color, 1, Qt::DotLine);
}

void DrawLabel(QPainter &painter, int x, int top, const QString &text)
{
    painter.drawText(x, top + painter.fontMetrics().ascent(), text);
}

void DrawGrid(QPainter &painter)
{
    painter.fillRect(0, 0, GraphLeft, GraphHeight, GraphBlue);

    painter.setPen(DottedPen(GraphGrey));
    for (int x = GraphLeft + PixelsPerTwoSeconds; x <= 850; x += PixelsPerTwoSeconds)
        painter.drawLine(x, 0, x, GraphHeight - 1);
    for (int y : VolumeGridYs)
        painter.drawLine(GraphLeft, y, GraphWidth, y);

    painter.fillRect(0, PressureBaseline, GraphWidth, BandHeight, GraphBlue);
    painter.fillRect(0, VolumeBaseline, GraphWidth, BandHeight, GraphBlue);

    painter.setPen(Qt::white);
    for (int i = 0; i < TimeLabels; ++i) {
        const QString text = QStringLiteral("%1 сек").arg(2 * i);
        DrawLabel(painter, GraphLeft + PixelsPerTwoSeconds * i, PressureBaseline + LabelRaise, text);
        DrawLabel(painter, GraphLeft + PixelsPerTwoSeconds * i, VolumeBaseline + LabelRaise, text);
    }
}

void DrawScales(QPainter &painter, int pressureScale)
{
    const QPen linePen = DottedPen(GraphGrey);
    auto drawScale = [&](const std::vector<ScaleLine> &lines, bool withLines) {
        for (const ScaleLine &line : lines) {
            if (withLines) {
                painter.setPen(linePen);
                painter.drawLine(GraphLeft, line.y, GraphWidth, line.y);
            }
            painter.setPen(Qt::white);
            DrawLabel(painter, LabelX, line.y - LabelRaise, line.label);
        }
    };
    drawScale(PressureScaleLines(pressureScale), true);
    painter.setPen(linePen);
    const int reference = PressureReferenceY(pressureScale);
    painter.drawLine(GraphLeft, reference, GraphWidth, reference);
    drawScale(VolumeScaleLabels(), false);
}

} // namespace

QImage NewGraphImage()
{
    QImage image(GraphWidth, GraphHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

std::vector<ScaleLine> PressureScaleLines(int scale)
{
    scale = std::clamp(scale, MinPressureScale, MaxPressureScale);
    const ScaleSpacing spacing = PressureSpacings[scale - 1];
    std::vector<ScaleLine> lines;
    for (int k = 1; k <= spacing.lines; ++k) {
        // The curve draws a pressure p at 200 - p / divisor, so the line n
        // pixels up stands for n x divisor.
        const int pixels = spacing.pixels * k;
        lines.push_back({PressureBaseline - pixels, QString::number(pixels * PressureDivisor(scale))});
    }
    return lines;
}

int PressureReferenceY(int scale)
{
    return ReferenceYs[std::clamp(scale, MinPressureScale, MaxPressureScale) - 1];
}

std::vector<ScaleLine> VolumeScaleLabels()
{
    std::vector<ScaleLine> labels;
    for (int k = 1; k <= VolumeLabels; ++k)
        labels.push_back({VolumeBaseline - VolumeLabelSpacing * k, QStringLiteral("%1.0л").arg(k)});
    return labels;
}

void DrawGraphBackground(QImage &image, int pressureScale, const QFont &font)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    DrawGrid(painter);
    DrawScales(painter, pressureScale);
}

void DrawCurveSegment(QImage &image, QPoint from, QPoint to, const QColor &color)
{
    QPainter painter(&image);
    painter.setPen(DottedPen(color));
    painter.drawLine(from, to);
}
