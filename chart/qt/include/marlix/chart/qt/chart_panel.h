// The widget that hosts one chart: keeps the picture of the last pass and repaints only when one is owed.
#pragma once

#include <QImage>
#include <QString>
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

    // What a screen reader reads as the chart's value (the cursor readout), empty for none; a change
    // is announced. Name and description are the widget's accessible name and description.
    void SetAccessibleValue(const QString& value);
    const QString& AccessibleValue() const { return accessibleValue_; }
    // Whether a focused panel draws its focus frame (inside the margin, so the chart keeps every pixel of
    // its layout); off while a picture of the window is taken.
    void SetFocusFrameShown(bool shown);

    bool HandleAllocated() const override { return true; }
    void InvalidateLater() override { update(); }
    void PaintNow() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void RunPass();
    TChart chart_{this};
    QImage picture_;
    TOverlayPainter overlay_;
    QString accessibleValue_;
    bool focusFrameShown_ = true;
};

}  // namespace marlix::chart
