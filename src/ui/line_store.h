#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/run_report.h"

namespace tidemark::ui {

/// Every line of a run with the path it names, packed into large blocks: a million lines cost
/// their text and a few bytes each, and nothing is copied again as the list grows. A path that
/// appears in its line's text (as nearly all do) is not stored twice.
class LineStore {
  public:
    void Append(const ResultLine& line);
    void Clear();

    std::size_t size() const { return lines_.size(); }
    std::string_view Text(std::size_t row) const;
    std::string_view Path(std::size_t row) const;

  private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    struct StoredLine {
        const char* text;
        std::uint32_t text_length;
        std::uint32_t path_start;  // from `text`: inside it, or just after it
        std::uint32_t path_length;
    };

    /// Room for `length` more bytes, in the current block or a new one.
    char* Reserve(std::size_t length);

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t block_size_ = 0;  // of the current block; none yet
    std::size_t block_used_ = 0;
    std::deque<StoredLine> lines_;
};

}  // namespace tidemark::ui
