#pragma once
// Parses one reply line into its JSON document. Replies are small objects of
// numbers, plain strings and nested objects; those are read by a direct pass
// that builds only the document itself. Anything else (white space, escapes,
// arrays, non-ASCII text, numbers out of the plain range, malformed text) goes
// to the JSON library's parser, so the document, and the error for a
// malformed line, are exactly the library's.

#include <nlohmann/json.hpp>

#include <string_view>

namespace vel::frame {

nlohmann::json parseReplyLine(std::string_view line);

}  // namespace vel::frame
