#include "sim/protocol/result_code.h"

namespace veltrano::sim {

ResultCode resultFor(ModelError error) {
    switch (error) {
        case ModelError::None: return ResultCode::Ok;
        case ModelError::ChannelOutOfRange: return ResultCode::ChannelOutOfRange;
        case ModelError::ValueOutOfRange: return ResultCode::ValueOutOfRange;
        case ModelError::InvalidFormat: return ResultCode::InvalidFormat;
        case ModelError::UnknownDeviceType: return ResultCode::UnknownDeviceType;
        case ModelError::WrongState: return ResultCode::WrongState;
        case ModelError::FileError: return ResultCode::FileError;
    }
    return ResultCode::InternalError;
}

}  // namespace veltrano::sim
