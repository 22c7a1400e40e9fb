// The results list keeps every line of a run; the store must give each back exactly, with the
// path it names, however the lines are packed.
#include "ui/line_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidemark::testing {
namespace {

TEST(LineStore, GivesBackEveryLineAndItsPathExactly) {
    const std::vector<ResultLine> lines = {
        {"Creating file /copy/a.txt", "/copy/a.txt"},
        {"Done!", ""},
        {"Updating file /copy/b - orig: x, new: y", "/copy/b"},
        {"Skipping 3 files in folder /data/x due to custom Exclude List!", "/data/x"},
        {"a line whose path is not in it", "/elsewhere/file"},
        {std::string(3 << 20, 'x') + " /long", "/long"},  // larger than a block
        {"", ""},
    };
    ui::LineStore store;
    for (int round = 0; round < 2; ++round) {
        for (int repeat = 0; repeat < 1000; ++repeat) {
            for (const ResultLine& line : lines)
                store.Append(line);
        }
        ASSERT_EQ(store.size(), 1000 * lines.size());
        for (std::size_t row = 0; row < store.size(); ++row) {
            const ResultLine& expected = lines[row % lines.size()];
            ASSERT_EQ(store.Text(row), expected.text) << row;
            ASSERT_EQ(store.Path(row), expected.path) << row;
        }
        store.Clear();
        EXPECT_EQ(store.size(), 0u);
    }
}

}  // namespace
}  // namespace tidemark::testing
