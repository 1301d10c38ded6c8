// The widget that hosts one chart: keeps the picture of the last pass and repaints only when one is owed.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "marlix/chart/chart.h"

class QPainter;

namespace marlix::chart {

class TChartPanel : public QWidget, public TChartHost {
  public:
    explicit TChartPanel(QWidget* parent = nullptr);

    TChart& Chart() { return chart_; }
    const TChart& Chart() const { return chart_; }
    // The picture of the last pass, at the widget's devicePixelRatio.
    const QImage& Picture() const { return picture_; }

    // Painted over the kept picture on every repaint, with no drawing pass: cursors and selection
    // bands that follow the mouse. An empty function paints nothing.
    using TOverlayPainter = std::function<void(QPainter& painter)>;
    void SetOverlayPainter(TOverlayPainter painter) { overlay_ = std::move(painter); }

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
    TOverlayPainter overlay_;
};

}  // namespace marlix::chart
