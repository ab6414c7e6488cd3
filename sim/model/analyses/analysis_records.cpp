#include "sim/model/analyses/analysis_records.h"

#include "sim/model/common/little_endian.h"

namespace veltrano::sim {

std::array<unsigned char, kT3RecordBytes> encodeT3Record(const T3Record& record) {
    std::array<unsigned char, kT3RecordBytes> out{};
    putLittleEndian(out.data(), record.sync);
    putLittleEndian(out.data() + 4, record.startChannel);
    putLittleEndian(out.data() + 8, record.tdiffPs);
    putLittleEndian(out.data() + 12, record.stopChannel);
    return out;
}

std::array<unsigned char, kT2RecordBytes> encodeT2Record(const T2Record& record) {
    std::array<unsigned char, kT2RecordBytes> out{};
    putLittleEndian(out.data(), record.channel);
    putLittleEndian(out.data() + 4, record.timePs);
    return out;
}

std::array<unsigned char, kNCoincidenceRecordBytes> encodeNCoincidenceRecord(const NCoincidenceRecord& record) {
    std::array<unsigned char, kNCoincidenceRecordBytes> out{};
    putLittleEndian(out.data(), record.referencePs);
    putLittleEndian(out.data() + 8, record.strategyIndex);
    putLittleEndian(out.data() + 12, record.spanPs);
    putLittleEndian(out.data() + 20, record.fold);
    putLittleEndian(out.data() + 24, record.number);
    return out;
}

std::array<unsigned char, kPulseRecordBytes> encodePulseRecord(const PulseRecord& record) {
    std::array<unsigned char, kPulseRecordBytes> out{};
    putLittleEndian(out.data(), record.value);
    putLittleEndian(out.data() + 4, record.number);
    return out;
}

}  // namespace veltrano::sim
