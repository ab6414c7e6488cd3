#include "sim/protocol/handler_support.h"

namespace veltrano::sim {

Reply statusReply(ModelError error, const CommandContext& context, const std::string& rule) {
    const std::string suffix = rule.empty() ? "" : ": must be " + rule;
    switch (error) {
        case ModelError::None: return okReply();
        case ModelError::ChannelOutOfRange:
            return errorReply(ResultCode::ChannelOutOfRange,
                              "channel out of range: must be 1.." + std::to_string(context.instrument.channelCount()));
        case ModelError::ValueOutOfRange: return errorReply(ResultCode::ValueOutOfRange, "value out of range" + suffix);
        case ModelError::InvalidFormat: return errorReply(ResultCode::InvalidFormat, "invalid format" + suffix);
        case ModelError::UnknownDeviceType: return errorReply(ResultCode::UnknownDeviceType, "unknown device type");
        case ModelError::WrongState: return errorReply(ResultCode::WrongState, "wrong state" + suffix);
        case ModelError::FileError: return errorReply(ResultCode::FileError, "file error" + suffix);
    }
    return errorReply(ResultCode::InternalError, "unexpected instrument state");
}

std::string rangeText(IntRange range) { return std::to_string(range.min) + ".." + std::to_string(range.max); }

}  // namespace veltrano::sim
