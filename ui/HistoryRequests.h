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

#include "HistoryWindow.h"

namespace marlix::ui {

// Reads the days around the shown one for the History window on a worker of its own. The window
// opens at once and fills in as the days are read; a newer request or closing the window stops the
// reading.
class THistoryRequests : public QObject {
  public:
    // Runs before each day is read (tests hold a reading there).
    explicit THistoryRequests(std::function<void(std::stop_token)> beforeHistoryDay);
    ~THistoryRequests() override;

    void RequestHistory(THistoryWindow& window, const QString& dataDirectory, QDate shown);
    // Blocks until the reading has ended and shows what it read, without running the event loop.
    void WaitForHistory();
    // Stops the reading; what it still hands over is dropped.
    void Cancel();

  private:
    // One step of the History reading: the number of days, then each day as it is read.
    struct THistoryArrival {
        std::uint64_t ticket = 0;
        std::optional<THistoryDay> day;
        int total = 0;
        QDate first, last;  // of the days to read, with the first step
    };

    void ApplyHistoryDays();

    std::function<void(std::stop_token)> beforeHistoryDay_;
    THistoryWindow* historyWindow_ = nullptr;
    std::uint64_t historyTicket_ = 0;
    int historyDaysRead_ = 0;
    jobs::TResultQueue<THistoryArrival> historyArrivals_;
    // Declared last, so destroyed first: its worker stops and joins while everything a job refers to
    // still exists.
    std::unique_ptr<jobs::TJobRunner> historyRunner_ = std::make_unique<jobs::TJobRunner>();
};

}  // namespace marlix::ui
