#include "marlix/chart/qt/chart_panel.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>

#include "marlix/chart/qt/painter_surface.h"

namespace marlix::chart {

TChartPanel::TChartPanel(QWidget* parent) : QWidget(parent) {
    // The kept picture covers the whole widget, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    chart_.SetBounds(width(), height());
}

void TChartPanel::RunPass() {
    // A hidden widget gets its resize event only when shown; the pass must use the current size.
    chart_.SetBounds(width(), height());
    const qreal dpr = devicePixelRatioF();
    QImage image(std::max(1, qRound(width() * dpr)), std::max(1, qRound(height() * dpr)),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    // Point sizes on the picture follow the widget's logical DPI, as on the screen.
    image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
    QPainter painter(&image);
    {
        QPainterChartSurface surface(painter);
        chart_.PaintChart(surface);
    }
    painter.end();
    picture_ = std::move(image);
}

void TChartPanel::PaintNow() {
    RunPass();
    update();
}

void TChartPanel::paintEvent(QPaintEvent* event) {
    if (chart_.RedrawPending() || picture_.isNull()) RunPass();
    QPainter painter(this);
    painter.drawImage(event->rect(), picture_,
                      QRectF(QPointF(event->rect().topLeft()) * picture_.devicePixelRatio(),
                             QSizeF(event->rect().size()) * picture_.devicePixelRatio()));
    if (overlay_) overlay_(painter);
    if (focusFrameShown_ && hasFocus()) {
        // Two pixels in from the edge: inside the one-pixel bevel and the margin that every chart
        // keeps around its contents.
        constexpr int kInset = 2;
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(kInset, kInset, -kInset - 1, -kInset - 1));
    }
}

void TChartPanel::SetAccessibleValue(const QString& value) {
    if (value == accessibleValue_) return;
    QAccessibleTextUpdateEvent event(this, 0, accessibleValue_, value);
    accessibleValue_ = value;
    QAccessible::updateAccessibility(&event);
}

void TChartPanel::SetFocusFrameShown(bool shown) {
    focusFrameShown_ = shown;
    update();
}

void TChartPanel::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TChartPanel::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TChartPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    chart_.SetBounds(width(), height());
}

void TChartPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    chart_.RequestRedraw();
}

}  // namespace marlix::chart
