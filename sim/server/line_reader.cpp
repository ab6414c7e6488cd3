#include "sim/server/line_reader.h"

namespace veltrano::sim {

std::vector<LineReader::Item> LineReader::feed(std::string_view bytes) {
    std::vector<Item> items;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        if (!skipping_) {
            partial_.append(bytes.substr(0, newline));
            if (partial_.size() > maxLineBytes_) {
                items.push_back(Item{true, {}});
                partial_.clear();
                skipping_ = true;  // the rest of this line is dropped up to its line feed
            }
        }
        if (newline == std::string_view::npos) break;
        if (!skipping_) {
            if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
            items.push_back(Item{false, std::move(partial_)});
        }
        partial_.clear();
        skipping_ = false;
        bytes.remove_prefix(newline + 1);
    }
    return items;
}

}  // namespace veltrano::sim
