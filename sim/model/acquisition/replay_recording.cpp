#include "sim/model/acquisition/replay_recording.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kSecondPs = 1'000'000'000'000;
constexpr std::size_t kTimeTagBytes = 16;
constexpr std::size_t kPulseRecordBytes = 24;

template <class T>
T readLittleEndian(const unsigned char* at) {
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) bits = static_cast<decltype(bits)>((bits << 8) | at[i]);
    return static_cast<T>(bits);
}

[[noreturn]] void refuse(const std::filesystem::path& file, const std::string& problem) {
    throw std::invalid_argument("replay file " + file.string() + ": " + problem);
}

std::size_t recordBytesFor(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    if (extension == ".bin") return kTimeTagBytes;
    if (extension == ".dat") return kPulseRecordBytes;
    if (extension == ".csv") refuse(file, "the text format (2) cannot be replayed; record in format 0 or 1");
    refuse(file, "unknown format: a raw file ends in .bin (format 0) or .dat (format 1)");
}

std::vector<unsigned char> readVolume(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) refuse(file, "cannot be read");
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::shared_ptr<const ReplayRecording> loadReplayRecording(const std::filesystem::path& firstVolume,
                                                           int channelCount, bool loop) {
    const std::size_t recordBytes = recordBytesFor(firstVolume);
    if (!std::filesystem::is_regular_file(firstVolume)) refuse(firstVolume, "no such file");
    // The volumes concatenated are the stream; a volume may end inside a record.
    std::vector<unsigned char> stream = readVolume(firstVolume);
    for (std::size_t index = 1;; ++index) {
        const std::filesystem::path next = volumePath(firstVolume, index);
        if (!std::filesystem::is_regular_file(next)) break;
        const std::vector<unsigned char> bytes = readVolume(next);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    if (stream.empty()) refuse(firstVolume, "empty");
    if (stream.size() % recordBytes != 0) {
        refuse(firstVolume, std::to_string(stream.size()) + " bytes are not a whole number of " +
                                 std::to_string(recordBytes) + "-byte records");
    }

    auto recording = std::make_shared<ReplayRecording>();
    recording->file = firstVolume;
    recording->loop = loop;
    recording->events.reserve(stream.size() / recordBytes);
    for (std::size_t at = 0; at < stream.size(); at += recordBytes) {
        const unsigned char* record = stream.data() + at;
        Event e{};
        e.timePs = readLittleEndian<std::int64_t>(record);
        e.channel = static_cast<std::int32_t>(readLittleEndian<std::uint32_t>(record + 8));
        if (recordBytes == kPulseRecordBytes) {
            e.widthPs = readLittleEndian<std::int32_t>(record + 16);
            const auto bits = readLittleEndian<std::uint32_t>(record + 20);
            std::memcpy(&e.energyKev, &bits, sizeof bits);
        }
        const std::size_t number = at / recordBytes;
        if (e.timePs < 0) refuse(firstVolume, "record " + std::to_string(number) + " has a negative time tag");
        if (e.channel < 1 || e.channel > channelCount) {
            refuse(firstVolume, "record " + std::to_string(number) + " names channel " + std::to_string(e.channel) +
                                     ", outside 1.." + std::to_string(channelCount));
        }
        if (!recording->events.empty() && e.timePs < recording->events.back().timePs) {
            refuse(firstVolume, "time tags go backwards at record " + std::to_string(number));
        }
        recording->events.push_back(e);
    }
    recording->lengthPs = (recording->events.back().timePs / kSecondPs + 1) * kSecondPs;
    return recording;
}

}  // namespace veltrano::sim
