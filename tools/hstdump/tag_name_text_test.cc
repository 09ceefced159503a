#include "tag_name_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TagNameTextTest, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
  const struct {
    std::string name, printed;  // printed == name: the name is UTF-8
  } cases[] = {
      {"", ""},
      {"Temp_C\t,\"", "Temp_C\t,\""},
      {"T\xC2\xB0", "T°"},
      {"\xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80", "€ \uD7FF \uE000"},
      {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", "\U00010000 \U0010FFFF"},
      {"T\xB0", "T°"},
      // Overlong forms of '/', DEL, U+07FF and U+FFFF.
      {"\xC0\xAF", "À¯"},
      {"\xC1\xBF", "Á¿"},
      {"\xE0\x9F\xBF", "àŸ¿"},
      {"\xF0\x8F\xBF\xBF", "ð\xC2\x8F¿¿"},
      // A surrogate, and code points above U+10FFFF.
      {"\xED\xA0\x80", "í\u00A0€"},
      {"\xF4\x90\x80\x80", "ô\xC2\x90€€"},
      {"\xF5\x80\x80\x80", "õ€€€"},
      // Cut-off sequences, a lone continuation byte, a lead byte before ASCII.
      {"A\xC2", "AÂ"},
      {"\xE2\x82", "â‚"},
      {"\xF0\x9F\x98", "ðŸ˜"},
      {"\x80", "€"},
      {"\xC3(", "Ã("},
      // One stray byte makes the whole name Windows-1252, its UTF-8 sequences too.
      {"\xC2\xB0\xB0", "Â°°"},
      {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
       "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
       "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ"},
      {"\xA0\xA9\xBF\xC0\xD7\xDF\xF7\xFF", "\u00A0©¿À×ß÷ÿ"},
  };
  std::vector<std::string> names;
  int recoded = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(is_utf8(c.name), c.name == c.printed) << c.printed;
    if (!is_utf8(c.name)) {
      EXPECT_EQ(utf8_from_windows_1252(c.name), c.printed);
    }
    EXPECT_TRUE(is_utf8(c.printed)) << c.printed;
    names.push_back(c.name);
    recoded += c.name != c.printed;
  }
  EXPECT_EQ(recode_tag_names(names), recoded);
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], cases[i].printed);
}

}  // namespace
