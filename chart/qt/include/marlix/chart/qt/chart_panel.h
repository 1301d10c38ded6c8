// The widget that hosts one chart: keeps the picture of the last pass and repaints only when one is owed.
#pragma once

#include <QImage>
#include <QWidget>

#include "marlix/chart/chart.h"

namespace marlix::chart {

class TChartPanel : public QWidget, public TChartHost {
  public:
    explicit TChartPanel(QWidget* parent = nullptr);

    TChart& Chart() { return chart_; }
    const TChart& Chart() const { return chart_; }
    // The picture of the last pass, at the widget's devicePixelRatio.
    const QImage& Picture() const { return picture_; }

    bool HandleAllocated() const override { return true; }
    void InvalidateLater() override { update(); }
    void PaintNow() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void RunPass();
    TChart chart_{this};
    QImage picture_;
};

}  // namespace marlix::chart
