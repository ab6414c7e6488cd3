#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {

// "connect" opens the service's link to a listed device type for this
// connection; "disconnect" closes it. Other commands do not require the link.
void registerSessionCommands(CommandTable& table) {
    table.add("connect", [](const Request& request, CommandContext& context) {
        const std::int64_t type = request.integer("device_type");
        if (type < INT32_MIN || type > INT32_MAX || !context.instrument.knowsDeviceType(static_cast<int>(type))) {
            return statusReply(ModelError::UnknownDeviceType, context);
        }
        context.connection.deviceType = static_cast<int>(type);
        return okReply();
    });
    table.add("disconnect", [](const Request&, CommandContext& context) {
        context.connection.deviceType.reset();
        return okReply();
    });
}

}  // namespace veltrano::sim
