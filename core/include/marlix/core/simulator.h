#pragma once

// A simulated satellite-timing receiver that writes day logs in the logger's layout: one record
// block per second, satellites rising and setting with drifting levels, PDOP spikes, outages of
// several minutes with no lines, 2D/3D changes, lock modes moving through inactive, coarse and fine
// (or control), and periods of seeking with 8-item satellite lists. The same seed and day give the
// same bytes on every platform: the generator is our own, not a library distribution.

#include <cstdint>
#include <string>

#include "marlix/core/daytime.h"

namespace marlix::core {

struct SimulationOptions {
    std::uint64_t seed = 1;
    bool controlFormat = false;  // "PDOP; sats: " lines and the control lock mode
};

// The whole log of the UTC day holding `day` (its date part), CR LF line endings.
std::string SimulateDay(DayTime day, const SimulationOptions& options);

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
