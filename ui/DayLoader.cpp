#include "DayLoader.h"

#include <QFile>
#include <QProgressBar>
#include <string>
#include <utility>
#include <vector>

namespace marlix::ui {

namespace {

constexpr int kProgressPollMs = 100;

TLoadOutcome CancelledOutcome() {
    TLoadOutcome cancelled;
    cancelled.result.failure = core::LoadFailure{{}, "cancelled", true};
    return cancelled;
}

}  // namespace

TDayLoader::TDayLoader(QWidget& window, std::function<void()> shownOrHidden, Guard guard, Apply apply,
                       Hold beforeAnalysis, int progressAfterMs)
    : shownOrHidden_(std::move(shownOrHidden)),
      guard_(std::move(guard)),
      apply_(std::move(apply)),
      beforeAnalysis_(std::move(beforeAnalysis)),
      progressAfterMs_(progressAfterMs) {
    progressBar_ = new QProgressBar(&window);
    progressBar_->setObjectName("ProgressBarLoad");
    progressBar_->setRange(0, 1000);
    progressBar_->setFormat("Reading... %p% (Esc cancels)");
    progressBar_->hide();
    timerProgressDelay_.setSingleShot(true);
    connect(&timerProgressDelay_, &QTimer::timeout, this, [this] { ShowLoadProgress(); });
    timerProgressPoll_.setInterval(kProgressPollMs);
    connect(&timerProgressPoll_, &QTimer::timeout, this, [this] { ShowLoadProgress(); });
}

TDayLoader::~TDayLoader() {
    // The worker goes first: a load in flight stops at its next step.
    runner_.reset();
}

void TDayLoader::Load(TLoadRequest request) {
    requestedFiles_ = request.files;
    std::vector<std::string> names;
    names.reserve(request.files.size());
    for (const QString& name : request.files) names.push_back(QFile::encodeName(name).toStdString());
    const std::string directory = QFile::encodeName(request.dataDirectory).toStdString();
    // Requests for the same files of the same folder share one load, unless only the newer one
    // wants the satellite levels.
    std::string key = directory + (request.satellites ? "\n+satellites" : "\n");
    for (const std::string& name : names) key += '\n' + name;

    auto job = [this, names, directory, locale = std::move(request.locale), satellites = request.satellites,
                files = request.files, notice = std::move(request.folderNotice), progress = progress_,
                runner = runner_.get(), hold = beforeAnalysis_](std::stop_token stop, std::uint64_t ticket) {
        TLoadOutcome outcome{ticket, files, {}, {}, notice};
        try {
            if (hold) hold(stop);
            progress->done = 0;
            progress->total = 0;
            core::LoadOptions loadOptions;
            loadOptions.satellites = satellites;
            loadOptions.progress = [&progress, &stop](std::uint64_t done, std::uint64_t total) {
                progress->done = done;
                progress->total = total;
                return !stop.stop_requested();
            };
            if (stop.stop_requested()) {
                outcome.result = CancelledOutcome().result;
            } else {
                outcome.result = core::AnalyseFiles(names, directory, locale, loadOptions);
            }
        } catch (...) {
            outcome.error = std::current_exception();
        }
        runner->Finishing(ticket);
        finished_.Put(std::move(outcome));
        QMetaObject::invokeMethod(
            this, [this] { guard_([this] { ApplyFinishedLoad(); }); }, Qt::QueuedConnection);
    };
    const bool wasLoading = Loading();
    ticket_ = runner_->Submit(std::move(key), std::move(job));
    // The progress display counts from the first request of a busy spell.
    if (!wasLoading) timerProgressDelay_.start(progressAfterMs_);
}

void TDayLoader::WaitForLoad() {
    runner_->WaitIdle();
    guard_([this] { ApplyFinishedLoad(); });
}

void TDayLoader::Cancel() {
    if (!Loading()) return;
    runner_->Cancel();
    ticket_ = 0;
    EndLoadDisplay();
    apply_(CancelledOutcome());
}

void TDayLoader::ApplyFinishedLoad() {
    const std::optional<TLoadOutcome> outcome = finished_.Take();
    // An outcome of a request that a newer one superseded is dropped, and so is one that was
    // already applied by WaitForLoad.
    if (!outcome || outcome->ticket != ticket_) return;
    ticket_ = 0;
    EndLoadDisplay();
    apply_(*outcome);
}

bool TDayLoader::ShowsProgress() const {
    return progressBar_->isVisible();
}

void TDayLoader::ShowLoadProgress() {
    // Short loads show nothing; a long one (a month of dropped files) shows how far it got, with
    // Escape to cancel.
    if (!Loading()) return;
    if (progressBar_->isHidden()) {
        progressBar_->show();
        shownOrHidden_();
        timerProgressPoll_.start();
    }
    const auto done = static_cast<double>(progress_->done.load());
    const auto total = static_cast<double>(progress_->total.load());
    progressBar_->setValue(total > 0 ? static_cast<int>(1000.0 * done / total) : 0);
}

void TDayLoader::EndLoadDisplay() {
    timerProgressDelay_.stop();
    timerProgressPoll_.stop();
    if (progressBar_->isHidden()) return;
    progressBar_->hide();
    shownOrHidden_();
}

}  // namespace marlix::ui
