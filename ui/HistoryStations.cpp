#include "HistoryStations.h"

#include <QDir>
#include <QFileInfo>

#include "marlix/core/days.h"

namespace marlix::ui {

namespace {

QString WithSeparator(const QString& folder) {
    return QString::fromStdString(core::FolderWithSeparator(folder.toStdString()));
}

// One spelling per folder, so that "logs", "./logs/" and its full path are one station.
QString SameFolderKey(const QString& folder) {
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

THistoryStation StationOf(const QString& folder, const QString& label) {
    return {WithSeparator(folder), label.isEmpty() ? StationName(folder) : label};
}

}  // namespace

QString StationName(const QString& folder) {
    return QDir(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())).dirName();
}

int THistoryStations::IndexOf(const QString& folder) const {
    const QString key = SameFolderKey(folder);
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        if (SameFolderKey(stations_[i].folder) == key) return static_cast<int>(i);
    }
    return -1;
}

void THistoryStations::SetMain(const QString& folder, const QString& label) {
    const int listed = IndexOf(folder);
    if (listed >= 0) {
        main_ = listed;
        if (!label.isEmpty()) stations_[static_cast<std::size_t>(listed)].name = label;
    } else if (stations_.empty()) {
        stations_.push_back(StationOf(folder, label));
        main_ = 0;
    } else {
        stations_[static_cast<std::size_t>(main_)] = StationOf(folder, label);
    }
}

QString THistoryStations::Add(const QString& folder, const QString& label) {
    const int listed = IndexOf(folder);
    if (listed >= 0) {
        if (!label.isEmpty()) stations_[static_cast<std::size_t>(listed)].name = label;
        return {};
    }
    if (stations_.size() >= static_cast<std::size_t>(kMaxHistoryStations))
        return QString("History compares %1 folders at most; %2 is left out")
            .arg(kMaxHistoryStations)
            .arg(QDir::toNativeSeparators(folder));
    stations_.push_back(StationOf(folder, label));
    return {};
}

void THistoryStations::RemoveCompared() {
    if (stations_.empty()) return;
    stations_ = {stations_[static_cast<std::size_t>(main_)]};
    main_ = 0;
}

}  // namespace marlix::ui
