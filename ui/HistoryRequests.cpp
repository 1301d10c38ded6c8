#include "HistoryRequests.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

namespace marlix::ui {

THistoryRequests::THistoryRequests(std::function<void(std::stop_token)> beforeHistoryDay)
    : beforeHistoryDay_(std::move(beforeHistoryDay)) {}

THistoryRequests::~THistoryRequests() {
    historyRunner_.reset();
}

void THistoryRequests::RequestHistory(THistoryWindow& window, const QString& dataDirectory, QDate shown) {
    historyWindow_ = &window;
    const QString directory = dataDirectory;
    auto job = [this, directory, shown, hold = beforeHistoryDay_](std::stop_token stop,
                                                                  std::uint64_t ticket) {
        const std::vector<QDate> dates = HistoryDates(directory, shown);
        const int total = static_cast<int>(dates.size());
        const auto hand = [this](THistoryArrival arrival) {
            historyArrivals_.Push(std::move(arrival));
            QMetaObject::invokeMethod(
                this, [this] { ApplyHistoryDays(); }, Qt::QueuedConnection);
        };
        hand({ticket, std::nullopt, total, dates.empty() ? QDate() : dates.front(),
              dates.empty() ? QDate() : dates.back()});
        // The days are independent: every core takes the next unread one, and each day is
        // handed over as soon as it is read (the window puts it in date order).
        std::atomic<std::size_t> next{0};
        const auto read = [&] {
            core::LoadOptions options;
            options.progress = [&stop](std::uint64_t, std::uint64_t) { return !stop.stop_requested(); };
            // The days themselves are shared out over the cores: each is read on this thread alone.
            options.threads = 1;
            for (;;) {
                const std::size_t i = next++;
                if (i >= dates.size()) return;
                THistoryDay day{dates[i], std::nullopt, {}};
                try {
                    if (hold) hold(stop);
                    if (stop.stop_requested()) return;
                    day = ReadHistoryDay(directory, dates[i], options);
                } catch (const std::exception& e) {
                    day.error = QString::fromUtf8(e.what());  // the day is charted as unreadable
                }
                if (stop.stop_requested()) return;
                hand({ticket, std::move(day), total, {}, {}});
            }
        };
        const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
        std::vector<std::jthread> helpers;
        for (unsigned i = 1; i < cores && i < dates.size(); ++i) helpers.emplace_back(read);
        read();
    };
    const std::uint64_t ticket = historyRunner_->Submit(
        (directory + '\n' + shown.toString(Qt::ISODate)).toStdString(), std::move(job));
    // These days are being read already, or were all read by a job that is just ending.
    if (ticket == historyTicket_ || ticket == historyReadTicket_) return;
    historyTicket_ = ticket;
    historyDaysRead_ = 0;
    historyWindow_->SetDays({}, shown);
    historyWindow_->SetProgress(0, 1);
}

void THistoryRequests::ApplyHistoryDays() {
    for (THistoryArrival& arrival : historyArrivals_.TakeAll()) {
        // Days of a reading that was superseded or stopped are dropped.
        if (arrival.ticket != historyTicket_ || !historyWindow_) continue;
        if (arrival.day) {
            historyWindow_->AddDay(std::move(*arrival.day));
            ++historyDaysRead_;
        } else {
            historyWindow_->SetExpectedSpan(arrival.first, arrival.last);
        }
        historyWindow_->SetProgress(historyDaysRead_, arrival.total);
        if (historyDaysRead_ == arrival.total) historyReadTicket_ = std::exchange(historyTicket_, 0);
    }
}

void THistoryRequests::WaitForHistory() {
    historyRunner_->WaitIdle();
    ApplyHistoryDays();
}

void THistoryRequests::Cancel() {
    historyRunner_->Cancel();
    historyTicket_ = 0;
}

}  // namespace marlix::ui
