#include "marlix/chart/types.h"

#include "marlix/chart/chart.h"

namespace marlix::chart {

void TChartPen::Changed() {
    if (owner_) owner_->RequestRedraw();
}

void TChartPen::SetColor(TColor value) {
    if (pen_.Color == value) return;
    pen_.Color = value;
    Changed();
}

void TChartPen::SetWidth(int value) {
    if (pen_.Width == value) return;
    pen_.Width = value;
    Changed();
}

void TChartPen::SetStyle(TPenStyle value) {
    if (pen_.Style == value) return;
    pen_.Style = value;
    Changed();
}

void TChartPen::SetVisible(bool value) {
    if (visible_ == value) return;
    visible_ = value;
    Changed();
}

void TChartFont::Changed() {
    if (owner_) owner_->RequestRedraw();
}

void TChartFont::SetName(const std::string& value) {
    if (font_.Name == value) return;
    font_.Name = value;
    Changed();
}

void TChartFont::SetPointSize(double value) {
    if (font_.PointSize == value) return;
    font_.PointSize = value;
    Changed();
}

void TChartFont::SetPixelSize(int value) {
    if (font_.PixelSize == value) return;
    font_.PixelSize = value;
    Changed();
}

void TChartFont::SetColor(TColor value) {
    if (font_.Color == value) return;
    font_.Color = value;
    Changed();
}

void TChartFont::Assign(const TFont& value) {
    if (font_ == value) return;
    font_ = value;
    Changed();
}

}  // namespace marlix::chart
