#pragma once

#include <marlix/core/analysis.h>
#include <marlix/jobs/job_runner.h>

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>

class QProgressBar;
class QWidget;

namespace marlix::ui {

// What a load's worker hands to the window: the analysis or why there is none.
struct TLoadOutcome {
    std::uint64_t ticket = 0;
    QStringList files;
    core::LoadResult result;
    std::exception_ptr error;  // a fault that left the analysis, shown once like a handler's
    QString folderNotice;      // what the request found wrong with the data folder, shown instead
};

// One load request: the files, the folder they are read from unless absolute, and what goes with it.
struct TLoadRequest {
    QStringList files;
    QString dataDirectory;
    core::LocaleConventions locale;
    bool satellites = false;  // also the levels of every satellite
    QString folderNotice;
};

// Analyses the files of a view on a worker thread while the window stays live. The newest request
// wins (a request for the files already loading joins that load), and its outcome goes to the window
// on the window's thread in one step; outcomes of superseded requests are dropped. A load that runs
// long shows how far it got, in the window's status line, until it ends or is cancelled.
class TDayLoader : public QObject {
  public:
    // Runs a handler on the window's thread the way the window runs its own: a fault it throws is
    // shown once in the window's error box.
    using Guard = std::function<void(const std::function<void()>& handler)>;
    using Apply = std::function<void(const TLoadOutcome& outcome)>;
    // Runs on the worker before the files are read (tests hold a load there).
    using Hold = std::function<void(std::stop_token)>;

    // The progress bar becomes a child of window; shownOrHidden runs when it shows or hides, for the
    // window to place it.
    TDayLoader(QWidget& window, std::function<void()> shownOrHidden, Guard guard, Apply apply,
               Hold beforeAnalysis, int progressAfterMs);
    ~TDayLoader() override;

    void Load(TLoadRequest request);
    // Blocks until the newest load has ended and applies its outcome at once, without running the
    // event loop.
    void WaitForLoad();
    // Stops the load in flight and applies a cancelled outcome, which leaves the view as it was.
    void Cancel();
    bool Loading() const { return ticket_ != 0; }
    // The files of the newest request.
    const QStringList& RequestedFiles() const { return requestedFiles_; }
    bool ShowsProgress() const;
    QProgressBar* ProgressBar() const { return progressBar_; }
    void SetProgressAfterMs(int ms) { progressAfterMs_ = ms; }

  private:
    struct TProgress {
        std::atomic<std::uint64_t> done{0};
        std::atomic<std::uint64_t> total{0};
    };

    void ApplyFinishedLoad();
    void ShowLoadProgress();
    void EndLoadDisplay();

    std::function<void()> shownOrHidden_;
    Guard guard_;
    Apply apply_;
    Hold beforeAnalysis_;
    int progressAfterMs_;
    QProgressBar* progressBar_ = nullptr;
    QTimer timerProgressDelay_;
    QTimer timerProgressPoll_;
    QStringList requestedFiles_;
    // The ticket of the newest request's load, 0 when none is in flight.
    std::uint64_t ticket_ = 0;
    std::shared_ptr<TProgress> progress_ = std::make_shared<TProgress>();
    jobs::TLatestResult<TLoadOutcome> finished_;
    // Declared last, so destroyed first: its worker stops and joins while everything a job refers to
    // still exists.
    std::unique_ptr<jobs::TJobRunner> runner_ = std::make_unique<jobs::TJobRunner>();
};

}  // namespace marlix::ui
