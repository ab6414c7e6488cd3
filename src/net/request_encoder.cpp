#include "net/request_encoder.h"

namespace vel::frame {

// Appends the serializer's characters to the encoder's text.
class RequestEncoder::Output final : public nlohmann::detail::output_adapter_protocol<char> {
public:
    explicit Output(std::string& text) : text_(text) {}
    void write_character(char c) override { text_.push_back(c); }
    void write_characters(const char* s, std::size_t length) override { text_.append(s, length); }

private:
    std::string& text_;
};

RequestEncoder::RequestEncoder() : output_(std::make_unique<Output>(text_)) {
    // The serializer wants a shared pointer; this one owns nothing (aliasing
    // an empty owner), the encoder keeps the output alive.
    nlohmann::detail::output_adapter_t<char> output(std::shared_ptr<void>(), output_.get());
    serializer_ = std::make_unique<Serializer>(std::move(output), ' ', nlohmann::detail::error_handler_t::strict);
}

RequestEncoder::~RequestEncoder() = default;

const std::string& RequestEncoder::encode(const nlohmann::json& request) {
    text_.clear();
    serializer_->dump(request, false, false, 0);
    text_.push_back('\n');
    return text_;
}

}  // namespace vel::frame
