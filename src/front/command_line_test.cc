#include "front/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Expected {
  bool valid;
  char separator;
  bool delimited;
  bool has_start;
  TimeOfDay start;
  bool has_finish;
  TimeOfDay finish;
};

TEST(ParseOptionsTest, ReadsEveryOptionalArgument) {
  const TimeOfDay zero{};
  const struct {
    std::vector<std::string> arguments;
    Expected expected;
  } cases[] = {
      {{}, {true, '\t', false, false, zero, false, zero}},
      {{";"}, {true, ';', false, false, zero, false, zero}},
      {{";;"}, {true, ';', false, false, zero, false, zero}},
      {{",", ";"}, {true, ';', false, false, zero, false, zero}},
      {{"\\t"}, {true, '\t', false, false, zero, false, zero}},
      {{"\\t\\t"}, {true, '\\', false, false, zero, false, zero}},
      {{"-"}, {true, '-', false, false, zero, false, zero}},
      {{" "}, {true, ' ', false, false, zero, false, zero}},
      {{"/e"}, {true, '\t', true, false, zero, false, zero}},
      {{"/Ext"}, {true, '\t', true, false, zero, false, zero}},
      {{"/i:08:00:00"}, {true, '\t', false, true, {8, 0, 0}, false, zero}},
      {{"/I:08:00:00", "/F:17:00:00"}, {true, '\t', false, true, {8, 0, 0}, true, {17, 0, 0}}},
      {{"/i18:00:00"}, {true, '\t', false, true, {8, 0, 0}, false, zero}},
      {{"/i=08:00:00"}, {true, '\t', false, true, {8, 0, 0}, false, zero}},
      {{"/i:08::30:00"}, {true, '\t', false, true, {8, 30, 0}, false, zero}},
      {{"/i::1:2:3:"}, {true, '\t', false, true, {1, 2, 3}, false, zero}},
      {{"/i:1:2:3:4"}, {true, '\t', false, true, {1, 2, 3}, false, zero}},
      {{"/i:a:b:c"}, {true, '\t', false, true, {0, 0, 0}, false, zero}},
      {{"/i: -1:+2:3x"}, {true, '\t', false, true, {-1, 2, 3}, false, zero}},
      {{"/i:99999999999:0:0"}, {true, '\t', false, true, {INT32_MAX, 0, 0}, false, zero}},
      {{"/f:-99999999999:0:0"}, {true, '\t', false, false, zero, true, {INT32_MIN, 0, 0}}},
      {{"/i:1:1:1", "/i:2:2:2"}, {true, '\t', false, true, {2, 2, 2}, false, zero}},
      {{";", "/e", "/i:1:2:3", "/f:4:5:6"}, {true, ';', true, true, {1, 2, 3}, true, {4, 5, 6}}},
      // Invalid arguments; everything is still examined.
      {{";", "/e", "/i:1:2:3", "/f:4:5:6", "/e"},
       {false, ';', true, true, {1, 2, 3}, true, {4, 5, 6}}},
      {{"/x", ";"}, {false, ';', false, false, zero, false, zero}},
      {{"/"}, {false, '\t', false, false, zero, false, zero}},
      {{""}, {false, '\t', false, false, zero, false, zero}},
      {{"/i"}, {false, '\t', false, false, zero, false, zero}},
      {{"/f"}, {false, '\t', false, false, zero, false, zero}},
      {{"/i:"}, {false, '\t', false, false, zero, false, zero}},
      {{"/i:08:00"}, {false, '\t', false, false, zero, false, zero}},
      {{"/i:08:30:"}, {false, '\t', false, false, zero, false, zero}},
      {{"/f:::", "/e"}, {false, '\t', true, false, zero, false, zero}},
      {{"-e", "--quiet"}, {false, '\t', false, false, zero, false, zero}},
      {{"-i:08:00:00", "--strict"}, {false, '\t', false, false, zero, false, zero}},
      // Long options stand anywhere and do not count toward the four others.
      {{"--strict", ";", "/e", "--month-first", "/i:1:2:3", "/f:4:5:6", "--nan", "--strict"},
       {true, ';', true, true, {1, 2, 3}, true, {4, 5, 6}}},
      {{"--blanks", "/q", "/q", "/q", "/q"}, {true, '\t', true, false, zero, false, zero}},
      {{"--blanks", "\\t"}, {false, '\t', true, false, zero, false, zero}},
      {{",", "--decimal-comma"}, {false, ',', false, false, zero, false, zero}},
      {{"--decimal-comma", ";", ","}, {false, ',', false, false, zero, false, zero}},
      {{"--decimal-comma", ",", ";"}, {true, ';', false, false, zero, false, zero}},
  };
  for (const auto& c : cases) {
    ConversionOptions options;
    OptionReport report;
    const bool valid = parse_options(c.arguments, options, report);
    std::string label;
    for (const auto& a : c.arguments) label += "[" + a + "]";
    const Expected& e = c.expected;
    EXPECT_EQ(valid, e.valid) << label;
    EXPECT_EQ(options.separator, e.separator) << label;
    EXPECT_EQ(options.delimited, e.delimited) << label;
    EXPECT_EQ(options.has_start, e.has_start) << label;
    EXPECT_EQ(options.has_finish, e.has_finish) << label;
    if (e.has_start) {
      EXPECT_EQ(options.start.hour, e.start.hour) << label;
      EXPECT_EQ(options.start.minute, e.start.minute) << label;
      EXPECT_EQ(options.start.second, e.start.second) << label;
    }
    if (e.has_finish) {
      EXPECT_EQ(options.finish.hour, e.finish.hour) << label;
      EXPECT_EQ(options.finish.minute, e.finish.minute) << label;
      EXPECT_EQ(options.finish.second, e.finish.second) << label;
    }
  }
}

TEST(ParseOptionsTest, TellsHowAnArgumentIsReadOrWhyNot) {
  const struct {
    std::string argument, fault, note;
  } cases[] = {
      {"\\t", "", ""},
      {"comma", "", "separator argument 'comma' is read as its first character 'c'"},
      {"\t;", "", "separator argument '\t;' is read as its first character '\\t'"},
      {"-e", "'-e' is not an option; did you mean '/e'?", ""},
      {"--Quiet", "'--Quiet' is not an option; did you mean '/Q'?", ""},
      {"-F17:00:00", "'-F17:00:00' is not an option; did you mean '/F17:00:00'?", ""},
      {"--end", "'--end' is not an option", ""},
      {"--", "'--' is not an option", ""},
      {"--nan=1", "'--nan=1' is not an option; '--nan' takes no value", ""},
      {"--month", "'--month' is not an option", ""},
  };
  for (const auto& c : cases) {
    ConversionOptions options;
    OptionReport report;
    parse_options({c.argument}, options, report);
    EXPECT_EQ(report.faults, c.fault.empty() ? std::vector<std::string>{} : std::vector{c.fault});
    EXPECT_EQ(report.notes, c.note.empty() ? std::vector<std::string>{} : std::vector{c.note});
  }
}

TEST(IsOptionWordTest, TellsOptionsFromPaths) {
  for (const char* word : {"/e", "/Q", "/i:08:00:00", "/Fx:", "-e", "--help", "-x.txt"}) {
    EXPECT_TRUE(is_option_word(word)) << word;
  }
  for (const char* word : {"/etc/log.txt", "/ext", "/i/x:y", "/i", "/x:1", "-", "", "e"}) {
    EXPECT_FALSE(is_option_word(word)) << word;
  }
}

}  // namespace
