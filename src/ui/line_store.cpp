#include "ui/line_store.h"

#include <algorithm>
#include <cstring>

namespace tidemark::ui {

char* LineStore::Reserve(std::size_t length) {
    if (length > block_size_ - block_used_) {
        // A line longer than a block gets a block of its own.
        block_size_ = std::max(length, kBlockSize);
        blocks_.push_back(std::make_unique<char[]>(block_size_));
        block_used_ = 0;
    }
    char* room = blocks_.back().get() + block_used_;
    block_used_ += length;
    return room;
}

void LineStore::Append(const ResultLine& line) {
    const std::size_t found = line.path.empty() ? 0 : line.text.rfind(line.path);
    const bool path_in_text = found != std::string::npos;
    const std::size_t length = line.text.size() + (path_in_text ? 0 : line.path.size());
    char* text = Reserve(length);
    std::memcpy(text, line.text.data(), line.text.size());
    if (!path_in_text) {
        std::memcpy(text + line.text.size(), line.path.data(), line.path.size());
    }
    lines_.push_back(StoredLine{text, static_cast<std::uint32_t>(line.text.size()),
                                static_cast<std::uint32_t>(path_in_text ? found : line.text.size()),
                                static_cast<std::uint32_t>(line.path.size())});
}

void LineStore::Clear() {
    lines_.clear();
    blocks_.clear();
    block_size_ = 0;
    block_used_ = 0;
}

std::string_view LineStore::Text(std::size_t row) const {
    const StoredLine& line = lines_[row];
    return {line.text, line.text_length};
}

std::string_view LineStore::Path(std::size_t row) const {
    const StoredLine& line = lines_[row];
    return {line.text + line.path_start, line.path_length};
}

}  // namespace tidemark::ui
