#include "core/string_utils.h"

namespace ksq {

std::string CStringUtils::safe_string(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

bool CStringUtils::isEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

}  // namespace ksq
