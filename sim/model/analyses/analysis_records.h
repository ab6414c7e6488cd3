#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace veltrano::sim {

// A T3 record: one start-stop coincidence of a time-of-flight or start-stop run.
// 16 bytes on the wire and in files, little-endian, packed.
struct T3Record {
    std::uint32_t sync;          // the start event's number among its channel's events in the run, from 0 (wraps)
    std::int32_t startChannel;
    std::int32_t tdiffPs;       // stop minus start
    std::uint32_t stopChannel;
};
inline constexpr std::size_t kT3RecordBytes = 16;
std::array<unsigned char, kT3RecordBytes> encodeT3Record(const T3Record& record);

// A T2 record: one event of an autocorrelation run's channel. 12 bytes on the
// wire and in files, little-endian, packed.
struct T2Record {
    std::int32_t channel;
    std::int64_t timePs;  // the event's tag, ps since the run started
};
inline constexpr std::size_t kT2RecordBytes = 12;
std::array<unsigned char, kT2RecordBytes> encodeT2Record(const T2Record& record);

// One n-fold coincidence of a strategy. 32 bytes on the wire and in files,
// little-endian, packed.
struct NCoincidenceRecord {
    std::int64_t referencePs;    // the reference event (strategy's first channel), ps since the run started
    std::int32_t strategyIndex;  // 0-based, in the order of the strategies
    std::int64_t spanPs;         // latest minus earliest event of the coincidence
    std::int32_t fold;            // number of channels of the strategy
    std::int64_t number;          // the coincidence's number within its strategy in the run, from 0
};
inline constexpr std::size_t kNCoincidenceRecordBytes = 32;
std::array<unsigned char, kNCoincidenceRecordBytes> encodeNCoincidenceRecord(const NCoincidenceRecord& record);

// A TOT or ES record: one pulse of a time-over-threshold or energy-spectrum
// run's channel. 8 bytes on the wire and in files, little-endian, packed.
struct PulseRecord {
    std::int32_t value;    // TOT: the pulse width in ps; ES: the scaled pulse area (ADC units)
    std::uint32_t number;  // the pulse's number among its channel's pulses in the run, from 0 (wraps)
};
inline constexpr std::size_t kPulseRecordBytes = 8;
std::array<unsigned char, kPulseRecordBytes> encodePulseRecord(const PulseRecord& record);

}  // namespace veltrano::sim
