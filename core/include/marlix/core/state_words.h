#pragma once

// The words for the fix states and lock modes, kept once for every output: the chart labels and the
// cursor readout, the minutes export and the metrics labels each spell the same word their own way.

#include <array>
#include <cstddef>
#include <string_view>

#include "marlix/core/records.h"

namespace marlix::core {

struct StateWords {
    std::string_view label;   // right-axis labels and the cursor readout: "No fix", "Fine"
    std::string_view csv;     // the minutes export: "none", "fine"
    std::string_view metric;  // metrics label values: "none", "2d"
};

// In FixState order: none, 2D, 3D.
inline constexpr std::array<StateWords, 3> kFixWords{{
    {"No fix", "none", "none"},
    {"2D", "2D", "2d"},
    {"3D", "3D", "3d"},
}};

// In LockMode order, then the word a log in the control format uses for the fine-or-control mode.
inline constexpr std::array<StateWords, 4> kModeWords{{
    {"Inactive", "inactive", "inactive"},
    {"Coarse", "coarse", "coarse"},
    {"Fine", "fine", "fine"},
    {"Control", "control", "control"},
}};

inline const StateWords& FixWords(FixState fix) {
    return kFixWords[static_cast<std::size_t>(fix)];
}

inline const StateWords& ModeWords(LockMode mode, bool controlFormat) {
    if (mode == LockMode::FineOrControl && controlFormat) return kModeWords[3];
    return kModeWords[static_cast<std::size_t>(mode)];
}

}  // namespace marlix::core
