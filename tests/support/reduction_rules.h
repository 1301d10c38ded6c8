#pragma once

// The reduction of a line by the general rules alone, without the remembered texts and the quicker
// readings of the logger's usual shapes: what the reading threads' reduction must give for any line.

#include <cstdint>
#include <string_view>

#include "marlix/core/aggregation.h"
#include "marlix/core/records.h"

namespace marlix::test {

inline core::LineRecord ReducedByTheRules(std::string_view line) {
    using core::RecordKind;
    core::LineRecord r;
    r.kind = core::ClassifyRecord(line);
    switch (r.kind) {
        case RecordKind::Time:
            return core::ReduceTimeRecord(core::ParseTimeRecord(line));
        case RecordKind::Pdop:
        case RecordKind::PdopWithSatellites:
            r.flags = r.kind == RecordKind::PdopWithSatellites;
            r.kind = RecordKind::Pdop;
            r.value = core::PdopValue(line);
            return r;
        case RecordKind::SatelliteNumbers:
            r.items = static_cast<std::uint16_t>(core::ForEachListItem(
                core::ListField(line), 0, [&](std::int32_t prn) { r.value += prn > 0; }));
            return r;
        case RecordKind::SatelliteLevels: {
            std::int32_t signal = 0, good = 0;
            std::int64_t sum = 0;
            r.items = static_cast<std::uint16_t>(
                core::ForEachListItem(core::ListField(line), 0, [&](std::int32_t level) {
                    signal += level > 0;
                    good += level > 3;
                    sum += level;
                }));
            r.value = signal | good << 16;
            if (r.items > 0) r.number = static_cast<double>(sum) / r.items;
            return r;
        }
        case RecordKind::FixMode: {
            const core::FixModeRecord fixMode = core::ParseFixMode(line);
            r.value = static_cast<std::int32_t>(fixMode.fix) | static_cast<std::int32_t>(fixMode.mode) << 8;
            return r;
        }
        case RecordKind::None:
            break;
    }
    return r;
}

inline bool SameRecord(const core::LineRecord& a, const core::LineRecord& b) {
    return a.kind == b.kind && a.flags == b.flags && a.items == b.items && a.value == b.value &&
           a.number == b.number;
}

}  // namespace marlix::test
