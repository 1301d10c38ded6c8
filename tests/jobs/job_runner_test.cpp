// The window's job runner without a window: newest request wins, coalescing, cancel and join.
#include <gtest/gtest.h>
#include <marlix/jobs/job_runner.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace marlix::jobs {
namespace {

// What the jobs did, in order, as "<name> started", "<name> done" or "<name> stopped".
class TJournal {
  public:
    void Add(std::string entry) {
        const std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Entries() const {
        const std::lock_guard lock(mutex_);
        return entries_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// A job that records its start, holds at the gate, and records how it ended.
TJobRunner::Job HeldJob(TJournal& journal, TGate& gate, std::string name) {
    return [&journal, &gate, name](std::stop_token stop, std::uint64_t) {
        journal.Add(name + " started");
        const bool opened = gate.Wait(stop);
        journal.Add(name + (opened && !stop.stop_requested() ? " done" : " stopped"));
    };
}

TEST(JobRunnerTest, NewestOfThreeQuickRequestsRunsAndTheOthersStopOrNeverStart) {
    TJournal journal;
    TGate gate;
    TJobRunner runner;
    const auto a = runner.Submit("a", HeldJob(journal, gate, "a"));
    gate.WaitForWaiters(1);  // a runs and holds
    const auto b = runner.Submit("b", HeldJob(journal, gate, "b"));
    const auto c = runner.Submit("c", HeldJob(journal, gate, "c"));
    EXPECT_TRUE(a != b && b != c && a != c);
    EXPECT_TRUE(runner.Busy());
    gate.Open();
    runner.WaitIdle();
    EXPECT_FALSE(runner.Busy());
    // b either never started (replaced while waiting) or was stopped by c.
    auto entries = journal.Entries();
    std::erase_if(entries, [](const std::string& e) { return e == "b started" || e == "b stopped"; });
    EXPECT_EQ(entries, (std::vector<std::string>{"a started", "a stopped", "c started", "c done"}));
}

TEST(JobRunnerTest, RequestForTheFilesAlreadyLoadingOrWaitingIsCoalesced) {
    TJournal journal;
    TGate gate;
    TJobRunner runner;
    const auto a = runner.Submit("a", HeldJob(journal, gate, "a"));
    gate.WaitForWaiters(1);
    EXPECT_EQ(runner.Submit("a", HeldJob(journal, gate, "a again")), a);  // a keeps running
    const auto b = runner.Submit("b", HeldJob(journal, gate, "b"));
    EXPECT_EQ(runner.Submit("b", HeldJob(journal, gate, "b again")), b);
    // a was asked to stop, so asking for it once more is a new request that supersedes b.
    const auto a2 = runner.Submit("a", HeldJob(journal, gate, "a2"));
    EXPECT_NE(a2, a);
    EXPECT_NE(a2, b);
    gate.Open();
    runner.WaitIdle();
    auto entries = journal.Entries();
    std::erase_if(entries, [](const std::string& e) { return e == "b started" || e == "b stopped"; });
    EXPECT_EQ(entries, (std::vector<std::string>{"a started", "a stopped", "a2 started", "a2 done"}));

    // A job whose result is already on its way is not joined: its result may be taken already.
    TGate handing;
    const auto c = runner.Submit("c", [&runner, &handing](std::stop_token stop, std::uint64_t ticket) {
        runner.Finishing(ticket);
        handing.Wait(stop);
    });
    handing.WaitForWaiters(1);
    EXPECT_NE(runner.Submit("c", [](std::stop_token, std::uint64_t) {}), c);
    runner.WaitIdle();
}

TEST(JobRunnerTest, CancelStopsTheRunningJobAndDropsTheWaitingOneThenTheRunnerGoesOn) {
    TJournal journal;
    TGate gate;
    TJobRunner runner;
    runner.Submit("a", HeldJob(journal, gate, "a"));
    gate.WaitForWaiters(1);
    runner.Submit("b", HeldJob(journal, gate, "b"));
    runner.Cancel();
    runner.WaitIdle();
    EXPECT_FALSE(runner.Busy());
    auto entries = journal.Entries();
    std::erase_if(entries, [](const std::string& e) { return e == "b started" || e == "b stopped"; });
    EXPECT_EQ(entries, (std::vector<std::string>{"a started", "a stopped"}));

    // A job that throws does not end the worker.
    runner.Submit("throws", [](std::stop_token, std::uint64_t) { throw std::runtime_error("worker fault"); });
    gate.Open();
    runner.Submit("c", HeldJob(journal, gate, "c"));
    runner.WaitIdle();
    EXPECT_EQ(journal.Entries().back(), "c done");
}

TEST(JobRunnerTest, DestructionStopsAHeldJobJoinsAndReleasesWhatJobsHold) {
    TJournal journal;
    TGate gate;
    auto held = std::make_shared<int>(0);
    {
        TJobRunner runner;
        runner.Submit("a", [&journal, &gate, held](std::stop_token stop, std::uint64_t) {
            journal.Add(gate.Wait(stop) ? "a opened" : "a stopped");
        });
        gate.WaitForWaiters(1);
        EXPECT_EQ(held.use_count(), 2);
    }
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"a stopped"}));
}

TEST(JobRunnerTest, LatestResultKeepsOnlyTheNewestHandedOver) {
    TLatestResult<int> slot;
    TJobRunner runner;
    const auto put = [&slot](std::stop_token, std::uint64_t ticket) { slot.Put(static_cast<int>(ticket)); };
    runner.Submit("one", put);
    runner.WaitIdle();
    const auto two = runner.Submit("two", put);
    runner.WaitIdle();
    EXPECT_EQ(slot.Take(), static_cast<int>(two));
    EXPECT_EQ(slot.Take(), std::nullopt);
}

}  // namespace
}  // namespace marlix::jobs
