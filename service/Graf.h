#pragma once
// A small window with the curve of the instrument's last measurement: 120
// points of a sensor signal in millivolts.

#include <QDialog>
#include <array>

class TGrafF : public QDialog {
    Q_OBJECT
public:
    static constexpr int Points = 120;

    explicit TGrafF(QWidget *parent = nullptr);

    // The curve to draw and what it is ("Сенсор алкоголя", ...).
    void SetCurve(const std::array<int, Points> &curve, const QString &title);

    const std::array<int, Points> &Curve() const { return m_curve; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::array<int, Points> m_curve{};
    QString m_title;
};

// The span of the value axis for a curve: from `low` to `high`, rounded out
// to whole steps of `step` mV, never empty.
struct AxisSpan {
    int low = 0;
    int high = 0;
    int step = 1;
};
AxisSpan ValueAxisFor(const std::array<int, TGrafF::Points> &curve);
