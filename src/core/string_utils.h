#pragma once
// Null-safe handling of the C texts that arrive at the exported interface.

#include <string>

namespace ksq {

class CStringUtils {
public:
    // The text up to its NUL; the empty string for a null pointer.
    static std::string safe_string(const char* text);
    // True when the pointer is null or the text is empty.
    static bool isEmpty(const char* text);
};

}  // namespace ksq
