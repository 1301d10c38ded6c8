#include "marlix/core/simulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace marlix::core {

std::uint64_t SplitMix64::Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::Uniform() {
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

int SplitMix64::Below(int bound) {
    return static_cast<int>(Next() % static_cast<std::uint64_t>(bound));
}

bool SplitMix64::Chance(double probability) {
    return Uniform() < probability;
}

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kTrackedChannels = 6;
constexpr int kSeekingChannels = 8;
constexpr int kConstellation = 32;

enum class Lock { Inactive, Coarse, Fine };

struct Channel {
    int prn = 0;
    double level = 0;   // 0..9 as written
    double target = 0;  // the level the satellite drifts toward while it is up
    int secondsUp = 0;  // left until the satellite sets
};

struct Interval {
    int begin;
    int end;
};

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

void AppendNumber(std::string& out, int value) {
    if (value >= 10) AppendNumber(out, value / 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

class DaySimulator {
  public:
    DaySimulator(DayTime day, const SimulationOptions& options)
        : day_(DecodeDate(day)),
          control_(options.controlFormat),
          rng_(options.seed * 0x2545F4914F6CDD1DULL ^ static_cast<std::uint64_t>(std::trunc(day))) {
        PlanOutages();
        for (Channel& channel : channels_) Rise(channel, true);
    }

    std::string Run() {
        std::string out;
        out.reserve(18u << 20);
        for (int second = 0; second < kSecondsPerDay; ++second) RunSecond(second, out);
        return out;
    }

    // Seconds must come in order, each once.
    void RunSecond(int second, std::string& out) {
        while (outage_ < outages_.size() && outages_[outage_].end <= second) ++outage_;
        if (outage_ < outages_.size() && outages_[outage_].begin <= second) {
            LoseLock();
            return;
        }
        Step();
        // The logger now and then misses a second.
        if (rng_.Chance(0.0005)) return;
        WriteBlock(second, out);
    }

  private:
    void PlanOutages() {
        const int count = rng_.Below(4);
        for (int i = 0; i < count; ++i) {
            const int length = 180 + rng_.Below(900);
            const int begin = rng_.Below(kSecondsPerDay - length);
            outages_.push_back({begin, begin + length});
        }
        std::sort(outages_.begin(), outages_.end(),
                  [](const Interval& a, const Interval& b) { return a.begin < b.begin; });
    }

    void Rise(Channel& channel, bool alreadyUp) {
        // A satellite is tracked on one channel at a time.
        const auto inUse = [this](int prn) {
            return std::any_of(channels_.begin(), channels_.end(),
                               [prn](const Channel& c) { return c.prn == prn; });
        };
        int prn = 1 + rng_.Below(kConstellation);
        while (inUse(prn)) prn = prn % kConstellation + 1;
        channel.prn = prn;
        channel.level = alreadyUp ? 3 + rng_.Below(6) : 0;
        channel.target = 3 + rng_.Uniform() * 6.5;
        channel.secondsUp = 1200 + rng_.Below(4 * 3600);
    }

    void LoseLock() {
        lock_ = Lock::Inactive;
        secondsInLock_ = 0;
        for (Channel& channel : channels_) channel.level = 0;
    }

    void Step() {
        // Seeking comes in stretches of a few minutes, a few times a day.
        if (seekingLeft_ > 0) {
            --seekingLeft_;
        } else if (rng_.Chance(1.0 / 9000)) {
            seekingLeft_ = 120 + rng_.Below(1080);
        }
        const int used = seekingLeft_ > 0 ? kSeekingChannels : kTrackedChannels;
        for (int i = 0; i < used; ++i) {
            Channel& channel = channels_[i];
            if (--channel.secondsUp <= 0) Rise(channel, false);
            const double pull = (channel.target - channel.level) * 0.01;
            channel.level = std::clamp(channel.level + pull + (rng_.Uniform() - 0.5) * 0.6, 0.0, 9.0);
            if (rng_.Chance(0.001))
                channel.target = std::clamp(channel.target + (rng_.Uniform() - 0.5) * 3, 1.0, 9.5);
        }
        if (pdopSpikeLeft_ > 0) {
            --pdopSpikeLeft_;
        } else if (rng_.Chance(1.0 / 1800)) {
            pdopSpikeLeft_ = 5 + rng_.Below(90);
            spikePdop_ = 5 + rng_.Below(20);
        }
        AdvanceLock();
    }

    void AdvanceLock() {
        ++secondsInLock_;
        switch (lock_) {
            case Lock::Inactive:
                if (secondsInLock_ > 20 + rng_.Below(60)) SetLock(Lock::Coarse);
                break;
            case Lock::Coarse:
                if (seekingLeft_ == 0 && secondsInLock_ > 60 + rng_.Below(400)) SetLock(Lock::Fine);
                break;
            case Lock::Fine:
                if (seekingLeft_ > 0 || rng_.Chance(1.0 / 20000)) SetLock(Lock::Coarse);
                break;
        }
    }

    void SetLock(Lock lock) {
        lock_ = lock;
        secondsInLock_ = 0;
    }

    int GoodSatellites(int used) const {
        int good = 0;
        for (int i = 0; i < used; ++i) good += static_cast<int>(channels_[i].level) > 3;
        return good;
    }

    void WriteBlock(int second, std::string& out) {
        const bool seeking = seekingLeft_ > 0;
        const int used = seeking ? kSeekingChannels : kTrackedChannels;
        const int good = GoodSatellites(used);

        out += "UTC Time  : ";
        AppendTwoDigits(out, second / 3600);
        out += ':';
        AppendTwoDigits(out, second / 60 % 60);
        out += ':';
        AppendTwoDigits(out, second % 60);
        out += ' ';
        AppendTwoDigits(out, day_.day);
        out += '/';
        AppendTwoDigits(out, day_.month);
        out += '/';
        AppendTwoDigits(out, day_.year % 100);
        out += "\r\n";

        int pdop = good >= 6 ? 1 + rng_.Below(2) : good >= 4 ? 2 + rng_.Below(3) : 4 + rng_.Below(6);
        if (pdopSpikeLeft_ > 0) pdop = spikePdop_;
        out += control_ ? "PDOP; sats: " : "PDOP      : ";
        if (pdop < 10) out += ' ';
        AppendNumber(out, pdop);
        if (control_) {
            out += "; ";
            AppendNumber(out, good);
        }
        out += "\r\n";

        out += "Sat PRN   : ";
        for (int i = 0; i < used; ++i) {
            if (i > 0) out += ", ";
            // A seeking receiver leaves some of its channels without a satellite.
            AppendTwoDigits(
                out, seeking && i >= kTrackedChannels && channels_[i].level < 1 ? 0 : channels_[i].prn);
        }
        out += "\r\nSat level : ";
        for (int i = 0; i < used; ++i) {
            if (i > 0) out += ", ";
            AppendNumber(out, lock_ == Lock::Inactive ? 0 : static_cast<int>(channels_[i].level));
        }
        out += "\r\n";

        out += "Fix, Mode : ";
        if (lock_ == Lock::Inactive || good < 3) {
            out += "no fix";
        } else {
            out += good >= 4 ? "3D" : "2D";
        }
        out += ", ";
        switch (lock_) {
            case Lock::Inactive:
                out += "inactive";
                break;
            case Lock::Coarse:
                out += control_ ? "inactive" : "Coarse";
                break;
            case Lock::Fine:
                out += control_ ? "Control" : "Fine";
                break;
        }
        out += "\r\n";

        // Oscillator and housekeeping lines: not records, but part of every block.
        out += "Osc. DAC  : ";
        AppendNumber(out, 30000 + rng_.Below(400));
        out += "  Temp: ";
        AppendNumber(out, 38 + rng_.Below(5));
        out += '.';
        AppendNumber(out, rng_.Below(10));
        out += " C  Supply: 12.";
        AppendNumber(out, rng_.Below(4));
        out += " V\r\n";
        out += "--------------------\r\n";
    }

    CivilDate day_;
    bool control_;
    SplitMix64 rng_;
    std::vector<Interval> outages_;
    std::size_t outage_ = 0;  // the first outage not yet over
    std::array<Channel, kSeekingChannels> channels_{};
    Lock lock_ = Lock::Inactive;
    int secondsInLock_ = 0;
    int seekingLeft_ = 0;
    int pdopSpikeLeft_ = 0;
    int spikePdop_ = 0;
};

std::string SimulateDay(DayTime day, const SimulationOptions& options) {
    return DaySimulator(day, options).Run();
}

DaySimulation::DaySimulation(DayTime day, const SimulationOptions& options)
    : simulator_(std::make_unique<DaySimulator>(day, options)) {}

DaySimulation::~DaySimulation() = default;

std::string DaySimulation::BlockAt(int secondOfDay) {
    // Skipped seconds are still simulated, so that the blocks stay those of the whole day.
    std::string skipped;
    for (; nextSecond_ < secondOfDay && nextSecond_ < kSecondsPerDay; ++nextSecond_) {
        simulator_->RunSecond(nextSecond_, skipped);
        skipped.clear();
    }
    std::string block;
    if (secondOfDay == nextSecond_ && nextSecond_ < kSecondsPerDay)
        simulator_->RunSecond(nextSecond_++, block);
    return block;
}

}  // namespace marlix::core
