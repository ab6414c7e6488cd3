#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/model/common/value_range.h"

namespace veltrano::sim {

// The instrument keeps two parallel sets of network settings: the plain set and
// the w-set. They are validated alike.
enum class NetworkSet { Plain, W };

inline constexpr IntRange kNetworkPortRange{1, 65535};

struct NetworkSettings {
    std::string localIp;
    std::string deviceIp;
    std::int32_t localPort = 0;
    std::int32_t devicePort = 0;
    std::string deviceMac;
};

// Four decimal octets 0..255 separated by dots, no leading zeros beyond "0" itself.
bool isValidIpv4(std::string_view text);
// Six two-digit hexadecimal groups separated consistently by ':' or '-'.
bool isValidMac(std::string_view text);

}  // namespace veltrano::sim
