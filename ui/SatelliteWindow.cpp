#include "SatelliteWindow.h"

#include <marlix/chart/chart.h>

#include "SatelliteView.h"
#include "SideWindow.h"
#include "UserLocale.h"

namespace marlix::ui {

TSatelliteWindow::TSatelliteWindow(QWidget& mainWindow, const chart::TChart& timeScale)
    : mainWindow_(mainWindow), timeScale_(timeScale) {}

void TSatelliteWindow::Show(int width) {
    if (!view_) {
        view_ = new TSatelliteView(&mainWindow_);
        MakeSideWindow(*view_, "Satellites");
        view_->SetLocale(UserLocaleConventions());
        view_->resize(width, 360);
    }
    view_->show();
    view_->raise();
}

bool TSatelliteWindow::IsOpen() const {
    return view_ && view_->isVisible();
}

void TSatelliteWindow::SetDay(const core::SatelliteDay& day, const QString& title) {
    if (!view_) return;
    view_->setWindowTitle(title);
    view_->SetDay(day);
    FollowSpan();
}

void TSatelliteWindow::FollowSpan() {
    if (!IsOpen()) return;
    view_->SetTimeRange(timeScale_.BottomAxis().Minimum(), timeScale_.BottomAxis().Maximum());
}

}  // namespace marlix::ui
