#include "dump_columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(DumpColumnsTest, GivesEveryTagOfEveryFileOneColumn) {
  const struct {
    std::vector<Names> files;
    Names columns;
    std::vector<std::vector<int>> shown;  // per file: the tag in each column
  } cases[] = {
      {{{"A", "B"}, {"A", "B"}}, {"A", "B"}, {{0, 1}, {0, 1}}},
      {{{"A", "B"}, {"B", "C"}}, {"A", "B", "C"}, {{0, 1, -1}, {-1, 0, 1}}},
      {{{"B", "A"}, {"A", "B"}}, {"B", "A"}, {{0, 1}, {1, 0}}},
      {{{}, {"A"}}, {"A"}, {{-1}, {0}}},
      // Repeated names (empty ones, say) keep a column per occurrence.
      {{{"", "X", ""}, {"", "Y"}}, {"", "X", "", "Y"}, {{0, 1, 2, -1}, {0, -1, -1, 1}}},
      {{{"A"}, {"A", "A"}}, {"A", "A"}, {{0, -1}, {0, 1}}},
  };
  for (const auto& c : cases) {
    const Names columns = merge_columns(c.files);
    EXPECT_EQ(columns, c.columns) << c.columns.size();
    for (size_t f = 0; f < c.files.size(); ++f) {
      EXPECT_EQ(tags_in_columns(c.files[f], columns), c.shown[f]) << c.columns.size() << " " << f;
    }
  }
}

}  // namespace
