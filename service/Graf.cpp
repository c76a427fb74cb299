#include "service/Graf.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

constexpr int Ticks = 5;   // value-axis divisions aimed at
constexpr int MarginLeft = 64;
constexpr int MarginRight = 16;
constexpr int MarginTop = 28;
constexpr int MarginBottom = 40;
constexpr int PointTick = 20;   // a time-axis label every 20 points

// 1, 2 or 5 times a power of ten, at least `raw`.
int NiceStep(int raw)
{
    int power = 1;
    while (power * 10 <= raw && power < 100000000)
        power *= 10;
    for (int m : {1, 2, 5, 10})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

int FloorTo(int value, int step)
{
    const int q = value / step;
    return (value % step < 0 ? q - 1 : q) * step;
}

} // namespace

AxisSpan ValueAxisFor(const std::array<int, TGrafF::Points> &curve)
{
    const auto [lo, hi] = std::minmax_element(curve.begin(), curve.end());
    const int step = NiceStep(std::max(1, (*hi - *lo) / Ticks));
    AxisSpan span{FloorTo(*lo, step), FloorTo(*hi, step) + step, step};
    return span;
}

TGrafF::TGrafF(QWidget *parent) : QDialog(parent)
{
    setObjectName("GrafF");
    // Modal to the service window only: it stays above that window, which
    // the live views' exchanges activate again and again.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Последнее измерение"));
    resize(560, 360);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
}

void TGrafF::SetCurve(const std::array<int, Points> &curve, const QString &title)
{
    m_curve = curve;
    m_title = title;
    setWindowTitle(QStringLiteral("Последнее измерение: ") + title);
    update();
}

void TGrafF::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect plot(MarginLeft, MarginTop, width() - MarginLeft - MarginRight,
                     height() - MarginTop - MarginBottom);
    if (plot.width() < 20 || plot.height() < 20)
        return;

    const AxisSpan span = ValueAxisFor(m_curve);
    const double range = span.high - span.low;
    auto xOf = [&](int point) { return plot.left() + plot.width() * double(point) / (Points - 1); };
    auto yOf = [&](int value) { return plot.bottom() - plot.height() * (value - span.low) / range; };

    const QFontMetrics metrics(font());
    painter.setPen(QColor(220, 220, 220));
    for (int v = span.low; v <= span.high; v += span.step)
        painter.drawLine(QPointF(plot.left(), yOf(v)), QPointF(plot.right(), yOf(v)));

    painter.setPen(Qt::black);
    painter.drawRect(plot);
    for (int v = span.low; v <= span.high; v += span.step) {
        const QString label = QString::number(v);
        painter.drawText(QPointF(plot.left() - 6 - metrics.horizontalAdvance(label), yOf(v) + metrics.ascent() / 2.0),
                         label);
    }
    for (int p = 0; p < Points; p += PointTick) {
        const QString label = QString::number(p);
        painter.drawLine(QPointF(xOf(p), plot.bottom()), QPointF(xOf(p), plot.bottom() + 4));
        painter.drawText(QPointF(xOf(p) - metrics.horizontalAdvance(label) / 2.0, plot.bottom() + 6 + metrics.ascent()),
                         label);
    }
    painter.drawText(QPointF(4, MarginTop - 10), QStringLiteral("mV"));
    const QString pointsLabel = QStringLiteral("точка");
    painter.drawText(QPointF(plot.right() - metrics.horizontalAdvance(pointsLabel), height() - 6), pointsLabel);
    painter.drawText(QPointF(plot.left() + 8, MarginTop - 10), m_title);

    QPainterPath path;
    path.moveTo(xOf(0), yOf(m_curve[0]));
    for (int p = 1; p < Points; ++p)
        path.lineTo(xOf(p), yOf(m_curve[p]));
    painter.setPen(QPen(Qt::blue, 2));
    painter.drawPath(path);
}
