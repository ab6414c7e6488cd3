#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

struct BoardCommandPair {
    const char* set;
    const char* get;
    BoardSetting setting;
};

constexpr BoardCommandPair kBoardSettings[] = {
    {"set_tdcclocksource", "get_tdcclocksource", BoardSetting::TdcClockSource},
    {"set_datamode", "get_datamode", BoardSetting::DataMode},
    {"set_testmode", "get_testmode", BoardSetting::TestMode},
    {"set_databandwidth", "get_databandwidth", BoardSetting::TestDataBandwidth},
    {"set_boardid", "get_boardid", BoardSetting::BoardId},
    {"set_coinstimewindow", "get_coinstimewindow", BoardSetting::CoinsTimeWindow},
    {"set_adareascale", "get_adareascale", BoardSetting::AdAreaScale},
    {"set_acqtype", "get_acqtype", BoardSetting::AcqType},
    {"set_outputgatetype", "get_outputgatetype", BoardSetting::OutputGateType},
    {"set_gatedelay", "get_gatedelay", BoardSetting::GateDelay},
};

}  // namespace

void registerBoardCommands(CommandTable& table) {
    for (const BoardCommandPair& pair : kBoardSettings) {
        const BoardSetting setting = pair.setting;
        table.add(pair.set, [setting](const Request& request, CommandContext& context) {
            return statusReply(context.instrument.setBoardSetting(setting, request.integer("value")), context,
                               rangeText(boardSettingRange(setting)));
        });
        table.add(pair.get, [setting](const Request&, CommandContext& context) {
            return valueReply(context.instrument.boardSetting(setting));
        });
    }

    table.add("tdc_resetn", [](const Request&, CommandContext& context) {
        context.instrument.resetTdc();
        return okReply();
    });
    table.add("system_resetn", [](const Request&, CommandContext& context) {
        context.instrument.resetSystem();
        return okReply();
    });
    table.add("reset_state", [](const Request&, CommandContext& context) {
        context.instrument.resetState();
        return okReply();
    });
    table.add("self_check", [](const Request&, CommandContext& context) {
        if (context.instrument.selfCheck()) return okReply();
        return errorReply(ResultCode::SelfCheckFailed, "self check failed: a health reading is out of its limits");
    });
}

}  // namespace veltrano::sim
