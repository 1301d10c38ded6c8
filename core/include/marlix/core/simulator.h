#pragma once

// A simulated satellite-timing receiver that writes day logs in the logger's layout: one record
// block per second, satellites rising and setting with drifting levels, PDOP spikes, outages of
// several minutes with no lines, 2D/3D changes, lock modes moving through inactive, coarse and fine
// (or control), and periods of seeking with 8-item satellite lists. The same seed and day give the
// same bytes on every platform: the generator is our own, not a library distribution.

#include <cstdint>
#include <memory>
#include <string>

#include "marlix/core/daytime.h"

namespace marlix::core {

struct SimulationOptions {
    std::uint64_t seed = 1;
    bool controlFormat = false;  // "PDOP; sats: " lines and the control lock mode
};

// The whole log of the UTC day holding `day` (its date part), CR LF line endings.
std::string SimulateDay(DayTime day, const SimulationOptions& options);

class DaySimulator;

// The same day second by second, as a live logger writes it: BlockAt(s) is the block that the whole
// day's log holds for second s (empty during an outage or a missed second). Seconds only move
// forward; a second skipped or asked again gives an empty block.
class DaySimulation {
  public:
    DaySimulation(DayTime day, const SimulationOptions& options);
    ~DaySimulation();
    DaySimulation(const DaySimulation&) = delete;
    DaySimulation& operator=(const DaySimulation&) = delete;

    std::string BlockAt(int secondOfDay);

  private:
    std::unique_ptr<DaySimulator> simulator_;
    int nextSecond_ = 0;
};

// The generator behind the simulation: splitmix64.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    double Uniform();      // [0, 1)
    int Below(int bound);  // [0, bound)
    bool Chance(double probability);

  private:
    std::uint64_t state_;
};

}  // namespace marlix::core
