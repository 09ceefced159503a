// The value columns of one CSV that holds the records of several history
// files, whose tag lists may differ.
#pragma once

#include <string>
#include <vector>

// The columns for files with the tag lists `tag_lists`: every name in the
// order first met, taking each file's tags in its own order. A name that one
// file holds n times gets n columns, so every tag of every file has a column;
// files with the same tags give exactly their tag list.
std::vector<std::string> merge_columns(const std::vector<std::vector<std::string>>& tag_lists);

// For each of `columns`, the index in `tags` of the tag shown there, or -1
// for an empty cell. The k-th column of a name shows the k-th tag of that name.
std::vector<int> tags_in_columns(const std::vector<std::string>& tags,
                                 const std::vector<std::string>& columns);
