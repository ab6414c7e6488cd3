#include "raw_client.h"

#include <stdexcept>

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>

namespace vtest {

using boost::asio::ip::tcp;

RawClient::RawClient(int port) : socket_(io_) {
    socket_.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
}

void RawClient::sendRaw(const std::string& bytes) { boost::asio::write(socket_, boost::asio::buffer(bytes)); }

nlohmann::json RawClient::readJson() {
    const std::size_t end = boost::asio::read_until(socket_, boost::asio::dynamic_buffer(pending_), '\n');
    const std::string line = pending_.substr(0, end - 1);
    pending_.erase(0, end);
    if (line.empty() || (line[0] != '{' && line[0] != '[')) throw std::runtime_error("not a JSON reply: " + line);
    return nlohmann::json::parse(line);
}

std::vector<std::uint8_t> RawClient::readBinary() {
    auto take = [this](std::size_t n) {
        if (pending_.size() < n) {
            const std::size_t have = pending_.size();
            pending_.resize(n);
            boost::asio::read(socket_, boost::asio::buffer(pending_.data() + have, n - have));
        }
        std::string out = pending_.substr(0, n);
        pending_.erase(0, n);
        return out;
    };
    const std::string header = take(4);
    const std::uint32_t n = (std::uint32_t(std::uint8_t(header[0])) << 24) | (std::uint32_t(std::uint8_t(header[1])) << 16) |
                            (std::uint32_t(std::uint8_t(header[2])) << 8) | std::uint32_t(std::uint8_t(header[3]));
    const std::string payload = take(n);
    return std::vector<std::uint8_t>(payload.begin(), payload.end());
}

nlohmann::json RawClient::call(const nlohmann::json& request) {
    sendRaw(request.dump() + "\n");
    return readJson();
}

bool RawClient::peerClosed() {
    if (!pending_.empty()) return false;
    char c;
    boost::system::error_code ec;
    const std::size_t n = socket_.read_some(boost::asio::buffer(&c, 1), ec);
    if (n == 1) pending_.push_back(c);
    return ec == boost::asio::error::eof;
}

}  // namespace vtest
