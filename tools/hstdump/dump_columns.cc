#include "dump_columns.h"

#include <map>

std::vector<std::string> merge_columns(const std::vector<std::vector<std::string>>& tag_lists) {
  std::vector<std::string> columns;
  std::map<std::string, size_t> columns_named;  // how many columns carry each name
  for (const std::vector<std::string>& tags : tag_lists) {
    std::map<std::string, size_t> seen;  // occurrences of each name in this file so far
    for (const std::string& name : tags) {
      size_t& have = columns_named[name];
      if (seen[name]++ == have) {
        columns.push_back(name);
        ++have;
      }
    }
  }
  return columns;
}

std::vector<int> tags_in_columns(const std::vector<std::string>& tags,
                                 const std::vector<std::string>& columns) {
  std::map<std::string, std::vector<size_t>> positions;  // the columns of each name, in order
  for (size_t c = 0; c < columns.size(); ++c) positions[columns[c]].push_back(c);
  std::vector<int> shown(columns.size(), -1);
  std::map<std::string, size_t> seen;
  for (size_t k = 0; k < tags.size(); ++k) {
    const size_t nth = seen[tags[k]]++;
    const auto found = positions.find(tags[k]);
    if (found != positions.end() && nth < found->second.size()) {
      shown[found->second[nth]] = static_cast<int>(k);
    }
  }
  return shown;
}
