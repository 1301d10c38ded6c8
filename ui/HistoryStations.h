#pragma once

// The receivers History compares: a station is a folder of day logs, named by the folder or by a
// label the user gave.

#include <QString>
#include <vector>

namespace marlix::ui {

struct THistoryStation {
    QString folder;  // ends in '/'
    QString name;
    friend bool operator==(const THistoryStation&, const THistoryStation&) = default;
};

// History draws this many stations at most: more colours on one chart can no longer be told apart.
inline constexpr int kMaxHistoryStations = 8;

// The last part of the folder's path.
QString StationName(const QString& folder);

// The main window's folder and the folders compared with it, in the order they came, so that each
// keeps its colour while the main window moves between them.
class THistoryStations {
  public:
    // The main window shows this folder now. A folder not in the list takes the place of the one the
    // main window showed before; an empty label keeps the name a listed folder has.
    void SetMain(const QString& folder, const QString& label = {});
    // Adds a folder to compare: nothing when it was added or is listed already, else why not.
    QString Add(const QString& folder, const QString& label = {});
    // Only the main window's folder stays.
    void RemoveCompared();

    const std::vector<THistoryStation>& List() const { return stations_; }
    int Main() const { return main_; }
    // The index of the folder in the list, -1 when it is not listed.
    int IndexOf(const QString& folder) const;

  private:
    std::vector<THistoryStation> stations_;
    int main_ = 0;
};

}  // namespace marlix::ui
