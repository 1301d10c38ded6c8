#pragma once

#include <marlix/jobs/job_runner.h>

#include <QDate>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "HistoryWindow.h"

namespace marlix::ui {

// Where History's day figures come from: the figures of the given days of a station's folder, each
// handed over as soon as it is ready, in the order given, on the reading thread, until stop is
// requested. The count of days handed over is History's progress. Every History reading goes
// through this one seam. What the source has to say about where the figures come from (a store that
// cannot be used) goes to `say`, before the next day.
using THistoryDayHand = std::function<void(THistoryDay&& day)>;
using THistorySay = std::function<void(const std::string& notice)>;
using THistoryDaySource =
    std::function<void(const std::string& folder, const std::vector<core::DayTime>& days,
                       std::stop_token stop, const THistoryDayHand& hand, const THistorySay& say)>;
// The figures of finished days from the store of day metrics, at once; then those the store lacks,
// read from their logs without the readings of each minute (and put into the store). A store that
// cannot be used is said once per reading. beforeDay runs before each log is read (tests hold a
// reading there).
THistoryDaySource StoreDaySource(std::function<void(std::stop_token)> beforeDay = {});

// What History shows: the stations, the one of the main window, and the span around the shown day.
struct THistoryRequest {
    std::vector<THistoryStation> stations;
    int mainStation = 0;
    THistorySpan span = THistorySpan::Month;
    QDate shown;
    QDate today;     // its day is still being written
    QString notice;  // shown above the charts, with what the reading finds wrong
};

// Reads the days of the History window on a worker of its own. The window opens at once and fills in
// as the days are read; a newer request or closing the window stops the reading.
class THistoryRequests : public QObject {
  public:
    explicit THistoryRequests(THistoryDaySource source);
    ~THistoryRequests() override;

    void RequestHistory(THistoryWindow& window, const THistoryRequest& request);
    // Blocks until the reading has ended and shows what it read, without running the event loop.
    void WaitForHistory();
    // Stops the reading; what it still hands over is dropped.
    void Cancel();

  private:
    // One step of the History reading: the days to read with what the listing found wrong, then
    // each day as it is read.
    struct THistoryArrival {
        std::uint64_t ticket = 0;
        int station = 0;
        std::optional<THistoryDay> day;
        int total = 0;
        QDate first, last;  // of the days to read, with the first step
        QString problems;   // with the first step
        QString said;       // what the source says, in a step of its own
    };

    void ApplyHistoryDays();

    THistoryDaySource source_;
    THistoryWindow* historyWindow_ = nullptr;
    std::uint64_t historyTicket_ = 0;
    int historyDaysRead_ = 0;
    jobs::TResultQueue<THistoryArrival> historyArrivals_;
    // Declared last, so destroyed first: its worker stops and joins while everything a job refers to
    // still exists.
    std::unique_ptr<jobs::TJobRunner> historyRunner_ = std::make_unique<jobs::TJobRunner>();
};

}  // namespace marlix::ui
