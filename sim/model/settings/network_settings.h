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
    std::string local_ip;
    std::string device_ip;
    std::int32_t local_port = 0;
    std::int32_t device_port = 0;
    std::string device_mac;
};

// Four decimal octets 0..255 separated by dots, no leading zeros beyond "0" itself.
bool isValidIpv4(std::string_view text);
// Six two-digit hexadecimal groups separated consistently by ':' or '-'.
bool isValidMac(std::string_view text);

}  // namespace veltrano::sim
