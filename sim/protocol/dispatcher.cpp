#include "sim/protocol/dispatcher.h"

namespace veltrano::sim {
namespace {

constexpr std::size_t kMaxEchoedCommand = 64;

}  // namespace

Reply Dispatcher::handleLine(std::string_view line, CommandContext& context) const {
    try {
        const Json request = Json::parse(line, nullptr, /*allow_exceptions=*/false);
        if (request.is_discarded()) return errorReply(ResultCode::MalformedRequest, "request is not valid JSON");
        if (!request.is_object()) return errorReply(ResultCode::MalformedRequest, "request must be a JSON object");
        const auto cmd = request.find("cmd");
        if (cmd == request.end() || !cmd->is_string()) {
            return errorReply(ResultCode::MalformedRequest, "request needs a string \"cmd\"");
        }
        const std::string& name = cmd->get_ref<const std::string&>();
        const CommandHandler* handler = table_.find(name);
        if (handler == nullptr) {
            return errorReply(ResultCode::UnknownCommand, "unknown command \"" + name.substr(0, kMaxEchoedCommand) + "\"");
        }
        return (*handler)(Request(request), context);
    } catch (const ProtocolError& e) {
        return errorReply(e.code(), e.what());
    } catch (const std::exception& e) {
        return errorReply(ResultCode::InternalError, std::string("internal error: ") + e.what());
    } catch (...) {
        return errorReply(ResultCode::InternalError, "internal error");
    }
}

Reply Dispatcher::lineTooLong(std::size_t limit) {
    return errorReply(ResultCode::MalformedRequest, "request line longer than " + std::to_string(limit) + " bytes");
}

}  // namespace veltrano::sim
