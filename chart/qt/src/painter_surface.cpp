#include "marlix/chart/qt/painter_surface.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QString>

namespace marlix::chart {

namespace {

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor PaletteColor(QPalette::ColorRole role, QColor fallback) {
    if (QGuiApplication::instance() == nullptr) return fallback;
    return QGuiApplication::palette().color(QPalette::Active, role);
}

}  // namespace

QColor ToQColor(TColor color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

QFont ToQFont(const TFont& font) {
    QFont q(QString::fromStdString(font.Name));
    if (font.PixelSize > 0)
        q.setPixelSize(font.PixelSize);
    else
        q.setPointSizeF(font.PointSize);
    return q;
}

QPainterChartSurface::QPainterChartSurface(QPainter& painter)
    : QPainterChartSurface(painter, PaletteColor(QPalette::Light, Qt::white),
                           PaletteColor(QPalette::Dark, Qt::gray)) {}

QPainterChartSurface::QPainterChartSurface(QPainter& painter, QColor highlight, QColor shadow)
    : painter_(painter), highlight_(highlight), shadow_(shadow) {
    // Pixel-exact output: no antialiasing anywhere.
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setBrush(Qt::NoBrush);
    SetPen(TPen{});
}

QPainterChartSurface::~QPainterChartSurface() {
    FlushPolyline();
}

const QPainterChartSurface::CachedFont& QPainterChartSurface::Lookup(const TFont& font) {
    for (const CachedFont& cached : fonts_)
        if (cached.Key == font) return cached;
    QFont q = ToQFont(font);
    // Measure against the device painted on, so point sizes follow its logical DPI.
    QFontMetrics metrics(q, painter_.device());
    fonts_.push_back(CachedFont{font, q, metrics});
    return fonts_.back();
}

int QPainterChartSurface::TextWidth(const TFont& font, std::string_view text) {
    return Lookup(font).Metrics.horizontalAdvance(ToQString(text));
}

int QPainterChartSurface::TextHeight(const TFont& font) {
    return Lookup(font).Metrics.height();
}

void QPainterChartSurface::FillRect(const TRect& rect, TColor color) {
    FlushPolyline();
    if (rect.Right > rect.Left && rect.Bottom > rect.Top) painter_.fillRect(ToQRect(rect), ToQColor(color));
}

void QPainterChartSurface::FrameRect(const TRect& rect, const TPen& pen) {
    FlushPolyline();
    const int w = std::max(1, pen.Width);
    if (rect.Right - rect.Left <= 0 || rect.Bottom - rect.Top <= 0) return;
    const QColor c = ToQColor(pen.Color);
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    painter_.fillRect(QRect(rect.Left, rect.Top, width, std::min(w, height)), c);
    painter_.fillRect(QRect(rect.Left, rect.Bottom - std::min(w, height), width, std::min(w, height)), c);
    painter_.fillRect(QRect(rect.Left, rect.Top, std::min(w, width), height), c);
    painter_.fillRect(QRect(rect.Right - std::min(w, width), rect.Top, std::min(w, width), height), c);
}

void QPainterChartSurface::RaisedBevel(const TRect& rect) {
    FlushPolyline();
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (width <= 0 || height <= 0) return;
    painter_.fillRect(QRect(rect.Left, rect.Top, width - 1, 1), highlight_);
    painter_.fillRect(QRect(rect.Left, rect.Top, 1, height - 1), highlight_);
    painter_.fillRect(QRect(rect.Left, rect.Bottom - 1, width, 1), shadow_);
    painter_.fillRect(QRect(rect.Right - 1, rect.Top, 1, height), shadow_);
}

void QPainterChartSurface::SetPen(const TPen& pen) {
    FlushPolyline();
    QPen q(ToQColor(pen.Color));
    q.setWidth(std::max(1, pen.Width));
    q.setCosmetic(true);
    // Flat caps leave out the end pixel of a line, as the layout expects.
    q.setCapStyle(Qt::FlatCap);
    q.setJoinStyle(Qt::MiterJoin);
    if (pen.Style == psDot) q.setDashPattern({1.0, 1.0});
    pen_ = q;
}

void QPainterChartSurface::MoveTo(int x, int y) {
    FlushPolyline();
    current_ = QPoint(x, y);
}

void QPainterChartSurface::LineTo(int x, int y) {
    const QPoint to(x, y);
    if (to == current_) return;
    if (polyline_.empty()) polyline_.push_back(current_);
    polyline_.push_back(to);
    current_ = to;
}

void QPainterChartSurface::FlushPolyline() {
    if (polyline_.size() < 2) {
        polyline_.clear();
        return;
    }
    painter_.setPen(pen_);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPolyline(polyline_.data(), static_cast<int>(polyline_.size()));
    polyline_.clear();
}

void QPainterChartSurface::TextOut(int x, int y, std::string_view text, const TFont& font,
                                   THorzTextAlign horz, TVertTextAlign vert) {
    FlushPolyline();
    if (text.empty()) return;
    const CachedFont& cached = Lookup(font);
    const QString q = ToQString(text);
    const int width = cached.Metrics.horizontalAdvance(q);
    int left = x;
    if (horz == htaCenter) left = x - width / 2;
    if (horz == htaRight) left = x - width;
    const int top = vert == vtaTop ? y : y - cached.Metrics.height();
    painter_.setFont(cached.Font);
    painter_.setPen(ToQColor(font.Color));
    painter_.drawText(QPoint(left, top + cached.Metrics.ascent()), q);
}

void QPainterChartSurface::SetClipRect(const TRect& rect) {
    FlushPolyline();
    painter_.setClipRect(ToQRect(rect));
}

void QPainterChartSurface::RemoveClipRect() {
    FlushPolyline();
    painter_.setClipping(false);
}

QImage RenderChartImage(TChart& chart, int width, int height, qreal dpr) {
    chart.SetBounds(width, height);
    QImage image(std::max(1, qRound(width * dpr)), std::max(1, qRound(height * dpr)), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    // Point sizes follow the screen's logical DPI, as they do in the panel.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        image.setDotsPerMeterX(qRound(screen->logicalDotsPerInchX() / 0.0254));
        image.setDotsPerMeterY(qRound(screen->logicalDotsPerInchY() / 0.0254));
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    {
        QPainterChartSurface surface(painter);
        chart.PaintChart(surface);
    }
    painter.end();
    return image;
}

}  // namespace marlix::chart
