#pragma once

#include <string>

#include "sim/model/common/model_error.h"
#include "sim/model/common/value_range.h"
#include "sim/protocol/command_table.h"

namespace veltrano::sim {

// {"result":0} for ModelError::None, else the error reply with its code and a
// text; `rule` describes what the value must be ("0..7", "an IPv4 address").
Reply statusReply(ModelError error, const CommandContext& context, const std::string& rule = "");

// A value read from the instrument as {"result":0,"data":{"status":0,"value":v}},
// or the error reply.
template <class T>
Reply valueOrError(const Outcome<T>& outcome, const CommandContext& context) {
    if (!outcome.ok()) return statusReply(outcome.error, context);
    return valueReply(outcome.value);
}

std::string rangeText(IntRange range);

}  // namespace veltrano::sim
