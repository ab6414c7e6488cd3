#pragma once
// Turns requests into their line of text in one buffer that is reused from
// call to call, so a steady stream of commands allocates no text. The bytes are
// those of frame::encodeRequest. Not thread-safe: one per thread.

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace vel::frame {

class RequestEncoder {
public:
    RequestEncoder();
    ~RequestEncoder();
    RequestEncoder(const RequestEncoder&) = delete;
    RequestEncoder& operator=(const RequestEncoder&) = delete;

    // The request text including its final line feed, valid until the next
    // call. Throws the JSON library's type error for strings that are not
    // valid UTF-8.
    const std::string& encode(const nlohmann::json& request);

private:
    class Output;
    using Serializer = nlohmann::detail::serializer<nlohmann::json>;

    std::string text_;
    std::unique_ptr<Output> output_;
    // Built once: constructing one formats a 512-byte indentation string.
    std::unique_ptr<Serializer> serializer_;
};

}  // namespace vel::frame
