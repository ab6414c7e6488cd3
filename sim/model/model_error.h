#pragma once

namespace veltrano::sim {

// Why the instrument refused a request. The protocol layer turns each into the
// "result" code documented in sim/README.md.
enum class ModelError {
    None,
    ChannelOutOfRange,
    ValueOutOfRange,
    InvalidFormat,
    UnknownDeviceType,
};

// A value read from the instrument, or the reason it could not be read.
template <class T>
struct Outcome {
    ModelError error = ModelError::None;
    T value{};

    bool ok() const { return error == ModelError::None; }
};

}  // namespace veltrano::sim
