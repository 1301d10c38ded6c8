#include "FormLayout.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <string>

#include "marlix/core/state_words.h"

namespace marlix::ui {

namespace {

enum Anchor { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// The design's places that the minimum size is measured from, whatever the window's size now.
constexpr QRect kDesignButtonToday(8, 492, 81, 25);
constexpr QRect kDesignButtonClose(683, 523, 81, 25);
constexpr QPoint kDesignLabelSummary(297, 490);

constexpr int kStatusMargin = 4;  // below the status line
constexpr int kProgressWidth = 300;
constexpr int kStatusGap = 8;  // between the parts of the status line

}  // namespace

TFormLayout::TFormLayout(const TFormControls& c) : controls_(c) {
    const auto place = [this](QWidget* widget, QRect design, int anchors) {
        widget->setGeometry(design);
        anchored_.push_back({widget, design, anchors});
    };
    const auto placeLabel = [this](QLabel* label, QPoint design, int anchors) {
        label->move(design);
        label->adjustSize();
        anchored_.push_back({label, QRect(design, QSize(0, 0)), anchors});
    };
    place(c.chartStrength, QRect(8, 8, 758, 146), akLeft | akTop | akRight);
    place(c.chartPdop, QRect(8, 164, 758, 146), akLeft | akRight);
    place(c.chartMode, QRect(8, 319, 758, 167), akLeft | akRight);
    place(c.buttonToday, kDesignButtonToday, akLeft | akBottom);
    place(c.buttonYesterday, QRect(8, 523, 81, 25), akLeft | akBottom);
    place(c.dateTimePicker, QRect(104, 492, 89, 21), akLeft | akBottom);
    place(c.bitBtnPrev, QRect(104, 523, 25, 25), akLeft | akBottom);
    place(c.bitBtnNext, QRect(135, 523, 25, 25), akLeft | akBottom);
    place(c.checkBoxAutoRefresh, QRect(176, 527, 97, 17), akLeft | akBottom);
    placeLabel(c.labelSummary, kDesignLabelSummary, akLeft | akBottom);
    placeLabel(c.labelNotes, QPoint(297, 537), akLeft | akBottom);
    place(c.buttonClose, kDesignButtonClose, akRight | akBottom);
}

QSize TFormLayout::StartSize() const {
    return QSize(kDesignWidth, kDesignHeight + StatusLineHeight() + kStatusMargin)
        .expandedTo(MinimumFormSize());
}

void TFormLayout::Anchor(QSize window) {
    PlaceStatusLine(window);
    // The design's controls keep their places above the status line.
    window.setHeight(window.height() - StatusLineHeight() - kStatusMargin);
    const int dw = window.width() - kDesignWidth;
    const int dh = window.height() - kDesignHeight;
    for (const TAnchored& a : anchored_) {
        QRect r = a.design;
        if ((a.anchors & akRight) && !(a.anchors & akLeft)) r.moveLeft(r.left() + dw);
        if ((a.anchors & akRight) && (a.anchors & akLeft)) r.setWidth(r.width() + dw);
        if ((a.anchors & akBottom) && !(a.anchors & akTop)) r.moveTop(r.top() + dh);
        if ((a.anchors & akBottom) && (a.anchors & akTop)) r.setHeight(r.height() + dh);
        if (r.width() == 0) {
            a.widget->move(r.topLeft());
        } else {
            a.widget->setGeometry(r);
        }
    }
}

void TFormLayout::PlaceStatusLine(QSize window) {
    const int height = StatusLineHeight();
    const int top = window.height() - kStatusMargin - height;
    const int left = controls_.chartStrength->x();
    int right = window.width() - left;  // as far from the right edge as the charts
    // From the right: the progress, the zoomed span, the folder link; the notice takes what is left.
    const auto placeRight = [&](QWidget* widget, int width) {
        if (widget->isHidden()) return;
        widget->setGeometry(right - width, top, width, height);
        right -= width + kStatusGap;
    };
    placeRight(controls_.progressBar, kProgressWidth);
    placeRight(controls_.labelZoom, controls_.labelZoom->sizeHint().width());
    placeRight(controls_.labelOpenFolder, controls_.labelOpenFolder->sizeHint().width());
    controls_.labelNotice->setGeometry(left, top, std::max(0, right + kStatusGap - left), height);
}

int TFormLayout::StackCharts() {
    chart::TChartPanel& strength = *controls_.chartStrength;
    const int buttonsTop = controls_.buttonToday->y();
    const int top = strength.y();
    const int h = std::max(0, (buttonsTop - top - 8) / 3);
    strength.setGeometry(strength.x(), top, strength.width(), h);
    controls_.chartPdop->setGeometry(controls_.chartPdop->x(), top + h, controls_.chartPdop->width(), h);
    controls_.chartMode->setGeometry(controls_.chartMode->x(), top + 2 * h, controls_.chartMode->width(), h);
    return h;
}

bool TFormLayout::MeasureChartOverhead(int chartHeight) {
    const int plotHeight = controls_.chartStrength->Chart().PlotRect().Height();
    if (plotHeight <= 0 || chartHeight - plotHeight == chartOverhead_) return false;
    chartOverhead_ = chartHeight - plotHeight;
    return true;
}

int TFormLayout::StatusLineHeight() const {
    constexpr int kProgressHeight = 16;
    return std::max(controls_.labelNotice->fontMetrics().height() + 2, kProgressHeight);
}

int TFormLayout::MinimumChartHeight() const {
    // The right-axis labels of neighbouring fix states lie 0.8 of the strength chart's 10 units
    // apart (lock modes 10 of 100): the plot must hold them their ink's height and a pixel apart, in
    // the charts' default font on this screen.
    std::string labels;
    for (const auto& words : core::kFixWords) labels += std::string(words.label) + ' ';
    for (const auto& words : core::kModeWords) labels += std::string(words.label) + ' ';
    labels.pop_back();
    const QFontMetrics metrics(QFont("Arial", 8), controls_.chartStrength);
    const int ink = metrics.tightBoundingRect(QString::fromStdString(labels)).height();
    constexpr double kNearestLabels = 0.8 / 10;
    // The pixel between them keeps the smoothed edges of two labels from running together.
    return static_cast<int>(std::ceil((ink + 1) / kNearestLabels)) + 1 + chartOverhead_;
}

QSize TFormLayout::MinimumFormSize() const {
    // The widest texts the labels beside the buttons can hold: a day of 86,400 fix lines evenly
    // spread, with a control word, and the notes line of a day that runs into the next.
    const QLabel& summary = *controls_.labelSummary;
    const QFontMetrics metrics(summary.font());
    const int textWidth = std::max(
        {metrics.horizontalAdvance("Fixes: none/2D/3D:  33%, 33%, 33%  (28800, 28800, 28800)"),
         metrics.horizontalAdvance("Control: inactive/coarse/fine:  33%, 33%, 33%  (28800, 28800, 28800)"),
         metrics.horizontalAdvance("Average PDOP: 10.00,  GPS-seeking 100% (lower is better)"),
         metrics.horizontalAdvance("2026-Sep-30 from 00:00 to 23:59, 999999 lines")});
    // Summary left edge, its text, a gap, then the Close button with its right margin.
    const int closeMargin = kDesignWidth - kDesignButtonClose.x();
    // The design width is where the window starts; with a wide fallback font the widest conceivable
    // summary may not fit even there, and the start size must stay.
    const int width = std::min(kDesignWidth, kDesignLabelSummary.x() + textWidth + 8 + closeMargin);
    // The charts above the buttons, then the buttons and the status line.
    const int height = controls_.chartStrength->y() + 3 * MinimumChartHeight() + 8 +
                       (kDesignHeight - kDesignButtonToday.y()) + StatusLineHeight() + kStatusMargin;
    return {width, height};
}

}  // namespace marlix::ui
