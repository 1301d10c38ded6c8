#pragma once

#include <gtest/gtest.h>
#include <marlix/jobs/job_runner.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "TestLogs.h"
#include "ui/FormMain.h"
#include "ui/RememberedFolders.h"

// Failures then show the text itself rather than its bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace marlix::ui::test {

// Holds the window's background reads at their start while the test wants them long: each read
// waits until Release or until it is stopped. Fail makes every later read end in an exception.
class TReadHold {
  public:
    void Wait(std::stop_token stop) {
        std::shared_ptr<jobs::TGate> gate;
        std::string failure;
        {
            const std::lock_guard lock(mutex_);
            gate = gate_;
            failure = failure_;
        }
        if (gate) gate->Wait(stop);
        if (!failure.empty()) throw std::runtime_error(failure);
    }
    void Hold() {
        const std::lock_guard lock(mutex_);
        gate_ = std::make_shared<jobs::TGate>();
    }
    // Blocks until a read waits at the hold.
    void WaitForHeld() const {
        std::shared_ptr<jobs::TGate> gate;
        {
            const std::lock_guard lock(mutex_);
            gate = gate_;
        }
        if (gate) gate->WaitForWaiters(1);
    }
    int Held() const {
        const std::lock_guard lock(mutex_);
        return gate_ ? gate_->Waiting() : 0;
    }
    void Release() {
        const std::lock_guard lock(mutex_);
        if (gate_) gate_->Open();
        gate_.reset();
    }
    // Lets the reads held now go and holds the next ones.
    void Step() {
        const std::lock_guard lock(mutex_);
        if (gate_) gate_->Open();
        gate_ = std::make_shared<jobs::TGate>();
    }
    void Fail(std::string message) {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(message);
    }

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<jobs::TGate> gate_;
    std::string failure_;
};

// A window on a temporary data directory, with a hand-driven clock and errors collected.
class FormFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        RememberFolder(TRememberedFolder::DataFolder, {});
        RememberFolder(TRememberedFolder::ExportFolder, {});
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(programDir.isValid());
    }

    // A window on the fake clock whose errors, reads and folder dialog the test controls; its
    // start-up settles the folder from the arguments, as the program's does.
    std::unique_ptr<TFormMain> MakeStartedForm(QStringList arguments = {}, bool onDataDir = false) {
        TFormMainOptions options;
        options.arguments = std::move(arguments);
        options.programDirectory = programDir.path();
        options.runStartup = false;
        options.clock = clock;
        options.reloadDelayMs = 0;
        options.showError = [this](const QString& title, const QString& message) {
            errors.emplace_back(title, message);
        };
        options.askFolder = [this](const QString&, const QString&) { return folderAnswer; };
        options.beforeAnalysis = [this](std::stop_token stop) { loadHold.Wait(stop); };
        options.beforeHistoryDay = [this](std::stop_token stop) { historyHold.Wait(stop); };
        options.label = stationLabel;
        options.compare = compare;
        auto form = std::make_unique<TFormMain>(std::move(options));
        if (onDataDir) form->SetDataDirectory(dataDir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }
    // The same window on the test's data folder.
    std::unique_ptr<TFormMain> MakeForm(QStringList arguments = {}) {
        return MakeStartedForm(std::move(arguments), true);
    }

    // A short log of the given day from 10:00:00 to 10:02:30.
    QString WriteDay(QDate date, bool control = false) {
        return WriteFile(dataDir.path(), DayName(date),
                         RecordBlocks(QDateTime(date, QTime(10, 0, 0), Qt::UTC),
                                      QDateTime(date, QTime(10, 2, 30), Qt::UTC), control));
    }

    const QDate today{2026, 3, 15};
    const QDate yesterday{2026, 3, 14};
    QTemporaryDir dataDir;
    QTemporaryDir programDir;
    std::shared_ptr<TFakeClock> clock = std::make_shared<TFakeClock>();
    std::vector<std::pair<QString, QString>> errors;
    QString folderAnswer;  // what the folder dialog answers
    // The data folder's station name and the folders History compares it with, as given on the
    // command line.
    QString stationLabel;
    std::vector<THistoryStation> compare;
    // Windows made by MakeForm live in the test body, so both holds outlive them.
    TReadHold loadHold;
    TReadHold historyHold;
};

}  // namespace marlix::ui::test
