#include "sim/model/settings/network_settings.h"

#include <cctype>

namespace veltrano::sim {

bool isValidIpv4(std::string_view text) {
    int octets = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t start = i;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - start < 3) {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        const std::size_t digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
        ++octets;
        if (i == text.size()) return octets == 4;
        if (text[i] != '.' || octets == 4) return false;
        ++i;
    }
}

bool isValidMac(std::string_view text) {
    if (text.size() != 17) return false;
    const char separator = text[2];
    if (separator != ':' && separator != '-') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != separator) return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace veltrano::sim
