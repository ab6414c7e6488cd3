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
    WrongState,  // the request does not fit what the instrument is doing
    FileError,   // a service-side file or folder cannot be read, created or written
};

// A value read from the instrument, or the reason it could not be read.
template <class T>
struct Outcome {
    ModelError error = ModelError::None;
    T value{};

    bool ok() const { return error == ModelError::None; }
};

}  // namespace veltrano::sim
