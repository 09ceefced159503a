// What tagpress says on standard error about input that converts, but not
// as its user probably meant: each kind of warning, its cap, and a clean file
// that gets none. Standard output, exit status and history file stay as they
// would be without the warnings.
#include <string>
#include <vector>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

const std::string kStamp = "05/03/2015 10:20:30";

std::string repeated(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

TEST_F(TagpressTest, WarnsOnStandardErrorAboutSuspiciousInput) {
  const std::string fixed2 = kStamp + "\t      1.25\t      -3.5\n";
  const struct {
    std::string name;
    std::string header;
    std::string data;
    std::vector<std::string> options;
    int records;
    std::string err;
    std::string tz = "UTC";
  } cases[] = {
      {"clean", "2\nA\nB\n", fixed2 + "\n" + fixed2, {}, 2, ""},
      {"clean delimited", "2\nA\nB\n", kStamp + ";1;2\n", {"/e", ";"}, 1, ""},
      {"NUL-padded line ends",
       "0\n",
       kStamp + std::string("\0\0\r\n", 4) + kStamp + "\n",
       {},
       2,
       ""},
      {"power cut",
       "0\n",
       kStamp + std::string("\0\0\0", 3) + kStamp + std::string("\0", 1) + kStamp + "\n",
       {},
       3,
       "tagpress: w.txt:1: NUL bytes end this line without a line end, as a power failure leaves "
       "a log: it may be incomplete\n"},
      {"no line end at the end",
       "0\n",
       kStamp + "\n" + kStamp,
       {},
       2,
       "tagpress: w.txt:2: the last line has no line end: if the file was still being written, it "
       "may be incomplete\n"},
      {"Ctrl-Z after the last line", "0\n", kStamp + "\x1A", {}, 1, ""},
      {"hourly across the autumn change",
       "0\n",
       "25/10/2015 01:00:00\n25/10/2015 02:00:00\n25/10/2015 02:00:00\n25/10/2015 03:00:00\n",
       {},
       4,
       "",
       "Europe/Berlin"},
      {"malformed",
       "0\n",
       "05/13/2015 10:00:00\n29/02/2015 10:00:00\n05/03/2015 24:00:00\n05/03/1600 10:00:00\n"
       "2015-03-05 10:00:00\n05/03/2015 10:00:00.x\n" +
           fixed2,
       {},
       1,
       "tagpress: w.txt:1: skipped malformed line (month 13 out of range; if the dates are "
       "MM/DD/YYYY, use --month-first): '05/13/2015 10:00:00'\n"
       "tagpress: w.txt:2: skipped malformed line (day 29 out of range in 02/2015): "
       "'29/02/2015 10:00:00'\n"
       "tagpress: w.txt:3: skipped malformed line (hour 24 out of range): '05/03/2015 24:00:00'\n"
       "tagpress: w.txt:4: skipped malformed line (year 1600 out of range): "
       "'05/03/1600 10:00:00'\n"
       "tagpress: w.txt:5: skipped malformed line (no date and time DD/MM/YYYY HH:MM:SS at the "
       "start): '2015-03-05 10:00:00'\n"
       "tagpress: w.txt:6: skipped malformed line (the '.' after the seconds is not followed by "
       "digits): '05/03/2015 10:00:00.x'\n"},
      {"a day that is no month: no month-first hint",
       "0\n",
       "13/25/2015 10:00:00\n" + kStamp + "\n",
       {},
       1,
       "tagpress: w.txt:1: skipped malformed line (month 25 out of range): '13/25/2015 "
       "10:00:00'\n"},
      {"12-hour clock",
       "2\nA\nB\n",
       "05/03/2015 13:05:07 PM\t      1.25\t      -3.5\n05/03/2015 13:05:08 am\t         1\t 2\n"
       "05/03/2015 01:05:09 pm\t      1.25\t      -3.5\n",
       {},
       2,
       "tagpress: w.txt:1: '13:05:07 PM' is a 24-hour time with a 12-hour marker; read as "
       "13:05:07\n"
       "tagpress: w.txt:2: skipped malformed line (hour 13 contradicts its AM marker): "
       "'05/03/2015 13:05:08 am\\t         1\\t 2'\n"},
      {"long line quoted short",
       "0\n",
       std::string(100, 'x') + "\x01\n" + fixed2,
       {},
       1,
       "tagpress: w.txt:1: skipped malformed line (no date and time DD/MM/YYYY HH:MM:SS at the "
       "start): '" +
           std::string(60, 'x') + "'...\n"},
      {"capped",
       "0\n",
       repeated("bad\n", 13) + fixed2,
       {},
       1,
       [] {
         std::string out;
         for (int i = 1; i <= 10; ++i) {
           out += "tagpress: w.txt:" + std::to_string(i) +
                  ": skipped malformed line (no date and time DD/MM/YYYY HH:MM:SS at the start): "
                  "'bad'\n";
         }
         return out + "tagpress: w.txt: 3 more malformed lines not shown\n";
       }()},
      {"tag header",
       "5\nA\n\nA\n",
       fixed2,
       {},
       1,
       "tagpress: w.HDR:3: tag 2 has an empty name\n"
       "tagpress: w.HDR:4: tag 3 repeats the name 'A' of tag 1\n"
       "tagpress: w.HDR: 5 tags announced but 3 name lines found: tags 4 to 5 have an empty "
       "name\n"
       "tagpress: w.txt:1: the line ends before column 43, where tag 3 (A) starts; tags 3 to 5 "
       "read 0\n"},
      {"tag names with control characters",
       "2\nA\tB\nC\x01\n",
       fixed2,
       {},
       1,
       "tagpress: w.HDR:2: tag 1's name 'A\\tB' holds a control character (TAB); it is kept\n"
       "tagpress: w.HDR:3: tag 2's name 'C\\x01' holds a control character (0x01); it is kept\n"},
      {"tag names cut at their first blank",
       "4\nBoiler Temp degC\nBoiler Pressure bar\nBoiler \t\nBoiler Temp degC\n",
       kStamp + "\t         1\t         2\t         3\t         4\n",
       {},
       1,
       "tagpress: w.HDR:3: tag 2 repeats the name 'Boiler' of tag 1: a name ends at its line's "
       "first blank, so 'Boiler Temp degC' and 'Boiler Pressure bar' both read 'Boiler'\n"
       "tagpress: w.HDR:4: tag 3 repeats the name 'Boiler' of tag 1: a name ends at its line's "
       "first blank, so 'Boiler Temp degC' and 'Boiler' both read 'Boiler'\n"
       "tagpress: w.HDR:5: tag 4 repeats the name 'Boiler' of tag 1\n"},
      {"tag header without its count",
       "A\nB\n",
       fixed2,
       {},
       1,
       "tagpress: w.HDR:1: the first line 'A' is not a tag count; read as 0 tags, so no values "
       "are written\n"},
      {"empty tag header",
       "",
       fixed2,
       {},
       1,
       "tagpress: w.HDR: the tag header is empty: no tags, so no values are written\n"},
      {"tab separated without /e",
       "3\nA\nB\nC\n",
       repeated(kStamp + "\t79.9295\t12.4651\t340.9056\n", 2),
       {},
       2,
       "tagpress: w.txt:1: columns 21-30 of tag 1 (A) hold '79.9295\\t12': values do not line up "
       "with the fixed-width columns; for a delimited file use /e\n"},
      {"decimal comma",
       "2\nA\nB\n",
       kStamp + "\t      1.25\t      12,5\n",
       {},
       1,
       "tagpress: w.txt:1: columns 32-41 of tag 2 (B) hold '      12,5': values do not line up "
       "with the fixed-width columns; for decimal commas use --decimal-comma\n"},
      {"other separator without /e",
       "1\nA\n",
       kStamp + "\t1.5;22.75;3\n",
       {},
       1,
       "tagpress: w.txt:1: columns 21-30 of tag 1 (A) hold '1.5;22.75;': values do not line up "
       "with the fixed-width columns; for values separated by ';' use /e with ';' as the "
       "separator\n"},
      {"blank-aligned without --blanks",
       "1\nA\n",
       kStamp + "\t   1.5   22.75  3\n",
       {},
       1,
       "tagpress: w.txt:1: columns 21-30 of tag 1 (A) hold '   1.5   2': values do not line up "
       "with the fixed-width columns; for values separated by runs of blanks use --blanks\n"},
      {"misaligned text",
       "2\nA\nB\n",
       kStamp + "\t  1.5 x     7\n",
       {},
       1,
       "tagpress: w.txt:1: columns 21-30 of tag 1 (A) hold '  1.5 x   ': values do not line up "
       "with the fixed-width columns\n"},
      {"runs of blanks split at the blank",
       "2\nA\nB\n",
       kStamp + " 1.5   2\n" + kStamp + " 1.5   2\n",
       {"--blanks"},
       2,
       ""},
      {"runs of blanks with --nan",
       "3\nA\nB\nC\n",
       kStamp + "  1,5  x\n",
       {"--blanks", "--nan", "--decimal-comma"},
       1,
       "tagpress: w.txt:1: 2 fields for 3 tags: the remaining tags read NaN\n"
       "tagpress: w.txt:1: field 2 'x' is not a number; read as NaN\n"},
      {"empty fields with --nan",
       "3\nA\nB\nC\n",
       kStamp + ";1;;x\n" + kStamp + "\n",
       {"/e", ";", "--nan", "--decimal-comma"},
       2,
       "tagpress: w.txt:1: field 3 'x' is not a number; read as NaN\n"
       "tagpress: w.txt:1: empty field for tag 2 (B): read as NaN\n"
       "tagpress: w.txt:2: 0 fields for 3 tags: every tag reads NaN\n"},
      {"delimited fields",
       "3\nA\nB\nC\n",
       kStamp + ";1;2;3\n" + kStamp + ";1;2\n" + kStamp + ";1;2;3;4\n" + kStamp + ";1;2;3;\n" +
           kStamp + "\n",
       {"/e", ";"},
       5,
       "tagpress: w.txt:2: 2 fields for 3 tags: the last field is repeated for the remaining "
       "tags\n"
       "tagpress: w.txt:3: 4 fields for 3 tags: the fields beyond are ignored\n"
       "tagpress: w.txt:5: 0 fields for 3 tags: every tag reads 0\n"},
      {"separator forgotten",
       "2\nA\nB\n",
       kStamp + "\t1;2\n" + kStamp + "\tx\t2,5\n",
       {"/e"},
       2,
       "tagpress: w.txt:1: 1 field for 2 tags: the last field is repeated for the remaining "
       "tags\n"
       "tagpress: w.txt:1: field 1 '1;2' is not a number; read as 1\n"
       "tagpress: w.txt:2: field 1 'x' is not a number; read as 0\n"
       "tagpress: w.txt:2: field 2 '2,5' is not a number; read as 2; for decimal commas use "
       "--decimal-comma\n"},
      {"decimal comma read, point not",
       "2\nA\nB\n",
       kStamp + ";1,5;2.5\n",
       {"/e", ";", "--decimal-comma"},
       1,
       "tagpress: w.txt:1: field 2 '2.5' is not a number; read as 2\n"},
      {"blank separator with runs of blanks",
       "2\nA\nB\n",
       kStamp + " 1.5   2\n",
       {"/e", " "},
       1,
       "tagpress: w.txt:1: 4 fields for 2 tags: the fields beyond are ignored\n"
       "tagpress: w.txt:1: empty field for tag 2 (B): read as 0; for values separated by runs of "
       "blanks use --blanks\n"},
      {"empty delimited fields",
       "3\nA\nB\nC\n",
       kStamp + ";1;;\n" + kStamp + ";1;\n" + kStamp + "; ;2;3;\n",
       {"/e", ";"},
       3,
       "tagpress: w.txt:1: empty fields for tags 2 (B), 3 (C): read as 0\n"
       "tagpress: w.txt:2: 2 fields for 3 tags: the last field is repeated for the remaining "
       "tags\n"
       "tagpress: w.txt:2: empty field for tag 2 (B): read as 0\n"
       "tagpress: w.txt:3: empty field for tag 1 (A): read as 0\n"},
      {"numbers beyond binary64's range",
       "3\nA\nB\nC\n",
       kStamp + ";1e999; -1D999 ;1e-999\n" + kStamp + ";1e-310;4.9e-324;1.7976931348623157e308\n",
       {"/e", ";"},
       2,
       "tagpress: w.txt:1: '1e999' of tag 1 (A) is beyond binary64's range: read as inf\n"
       "tagpress: w.txt:1: '-1D999' of tag 2 (B) is beyond binary64's range: read as -inf\n"
       "tagpress: w.txt:1: '1e-999' of tag 3 (C) is beyond binary64's range: read as 0\n"},
      {"fixed-width numbers beyond binary64's range",
       "2\nA\nB\n",
       kStamp + "\t     1e999\t1e-9999999999\n",
       {},
       1,
       "tagpress: w.txt:1: '1e999' of tag 1 (A) is beyond binary64's range: read as inf\n"
       "tagpress: w.txt:1: '1e-9999999999' of tag 2 (B) is beyond binary64's range: read as 0\n"},
      {"fixed-width gaps",
       "3\nA\nB\nC\n",
       kStamp + "\t          \t      -3.5\t         7\n" + kStamp +
           "\t       NaN\t         -\t       N/A\n" + kStamp + "\t       1.5\n" + kStamp +
           "\t       1.5\t          \n" + kStamp + "\t       1.5\t         2\t         3\n",
       {},
       5,
       "tagpress: w.txt:1: columns 21-30 of tag 1 (A) are blank; read as -3.5, the next number "
       "after them\n"
       "tagpress: w.txt:2: columns 21-30 of tag 1 (A) hold '       NaN', which is not a number; "
       "read as 0\n"
       "tagpress: w.txt:2: columns 32-41 of tag 2 (B) hold '         -', which is not a number; "
       "read as 0\n"
       "tagpress: w.txt:2: columns 43-52 of tag 3 (C) hold '       N/A', which is not a number; "
       "read as 0\n"
       "tagpress: w.txt:3: the line ends before column 32, where tag 2 (B) starts; tags 2 to 3 "
       "read 0\n"
       "tagpress: w.txt:4: columns 32-41 of tag 2 (B) are blank; read as 0\n"
       "tagpress: w.txt:4: the line ends before column 43, where tag 3 (C) starts; tag 3 reads "
       "0\n"},
      {"fixed-width gaps capped",
       "1\nA\n",
       repeated(kStamp + "\t       N/A\n", 12) + repeated(kStamp + "\t          \t\n", 11),
       {},
       23,
       [] {
         std::string out;
         for (int i = 1; i <= 10; ++i) {
           out += "tagpress: w.txt:" + std::to_string(i) +
                  ": columns 21-30 of tag 1 (A) hold '       N/A', which is not a number; read as "
                  "0\n";
         }
         for (int i = 13; i <= 22; ++i) {
           out += "tagpress: w.txt:" + std::to_string(i) +
                  ": columns 21-30 of tag 1 (A) are blank; read as 0\n";
         }
         return out + "tagpress: w.txt: 2 more fields that are not numbers not shown\n" +
                "tagpress: w.txt: 1 more blank fixed-width fields not shown\n";
       }()},
      {"time going back",
       "0\n",
       "05/03/2015 10:00:00\n05/03/2015 11:00:00\n05/03/2015 10:30:00\n05/03/2015 09:00:00\n",
       {"/i:10:45:00"},
       1,
       "tagpress: w.txt:3: time goes back from 05/03/2015 11:00:00.000 (line 2) to 05/03/2015 "
       "10:30:00.000; the lines may be unsorted, or their dates month-first\n"},
      {"options read otherwise than written",
       "2\nA\nB\n",
       fixed2,
       {"/i18:00:00", "/f:2x:00:00"},
       0,
       "tagpress: '/i18:00:00' is read as start 08:00:00; its third character is not ':'\n"
       "tagpress: '/f:2x:00:00' is read as finish 02:00:00; '2x' is not a number\n"
       "tagpress: the window from 08:00:00 to 02:00:00 admits no time of day (it does not wrap "
       "past midnight): every line is dropped\n"
       "tagpress: w.txt: the time window /i /f dropped its one line with a valid date and time; "
       "the history file holds its header only\n"},
      {"window drops every line",
       "2\nA\nB\n",
       fixed2 + fixed2,
       {"/i:11:00:00"},
       0,
       "tagpress: w.txt: the time window /i /f dropped all 2 lines with a valid date and time; "
       "the history file holds its header only\n"},
      {"empty data file",
       "2\nA\nB\n",
       "",
       {},
       0,
       "tagpress: w.txt: the file is empty; the history file holds its header only\n"},
      {"blank data file",
       "2\nA\nB\n",
       "\n  \r\n",
       {},
       0,
       "tagpress: w.txt: the file holds blank lines only; the history file holds its header "
       "only\n"},
      {"unknown zone",
       "2\nA\nB\n",
       fixed2,
       {},
       1,
       "tagpress: TZ='Europe/Berln' names no time zone this system knows; times are taken as "
       "UTC\n",
       "Europe/Berln"},
  };
  for (const auto& c : cases) {
    write_file(dir_ / "w.HDR", c.header);
    write_file(dir_ / "w.txt", c.data);
    std::vector<std::string> args{"w.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = run(args, c.tz);
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.out.find("tagpress:"), std::string::npos) << c.name;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n") << c.name;
    const std::string hst = read_file(dir_ / "w.HST");
    ASSERT_GE(hst.size(), 70u) << c.name;
    const size_t header = u64(hst, 0) >> 16 & 0xFFFF, record = u64(hst, 0) >> 32 & 0xFFFF;
    EXPECT_EQ(hst.size(), header + record * static_cast<size_t>(c.records)) << c.name;
  }
}

// Every failure message on standard output is followed by one line on
// standard error that says why; the old history file stays.
TEST_F(TagpressTest, SaysWhyARunFailed) {
  const std::string line = kStamp + "\t      1.25\n";
  std::string long_list = "250\n";
  for (int i = 0; i < 250; ++i) long_list += std::string(70, 'a') + "\n";
  const struct {
    std::string name;
    std::string header;  // written as w.HDR unless empty; "/dir" makes it a folder
    std::string data;    // written as w.txt
    std::vector<std::string> args;
    std::string out;  // the end of standard output
    std::string err;
    int status = 1;
  } cases[] = {
      {"not an option",
       "1\nA\n",
       line,
       {"w.txt", "/x", "/i:08:00"},
       "SS-Second\n",
       "tagpress: '/x' is not an option\ntagpress: '/i:08:00' has 2 fields; HH:MM:SS takes 3\n",
       255},
      {"a fifth optional argument",
       "1\nA\n",
       line,
       {"w.txt", ";", "/e", "/q", "/e", "/q"},
       "SS-Second\n",
       "tagpress: '/q' is one optional argument too many; at most 4 are read\n",
       255},
      {"no such data file",
       "1\nA\n",
       line,
       {"none.txt"},
       "Cannot found file none.txt !\n\n",
       "tagpress: none.txt: No such file or directory\n"},
      {"pattern without a match",
       "1\nA\n",
       line,
       {"*.log"},
       "Cannot found file *.log !\n\n",
       "tagpress: *.log: no file matches the pattern\n"},
      {"no tag header",
       "",
       line,
       {"w.txt"},
       "    Could not open file: w.HDR\n\n\n",
       "tagpress: w.HDR: No such file or directory\n"},
      {"tag header is a folder",
       "/dir",
       line,
       {"w.txt"},
       "    Could not open file: w.HDR\n\n\n",
       "tagpress: w.HDR: Is a directory\n"},
      {"too many tags",
       "251\n",
       line,
       {"w.txt"},
       "    Invalid tag count in file: w.HDR\n\n\n",
       "tagpress: w.HDR:1: 251 tags; at most 250\n"},
      {"negative count",
       " -1 tags\n",
       line,
       {"w.txt"},
       "    Invalid tag count in file: w.HDR\n\n\n",
       "tagpress: w.HDR:1: -1 tags; at least 0\n"},
      {"name too long",
       "2\nA\n" + std::string(300, 'n') + "\n",
       line,
       {"w.txt"},
       "    Tag name too long in file: w.HDR\n\n\n",
       "tagpress: w.HDR:3: the name of tag 2 has 300 characters; at most 254\n"},
      {"tag list too long",
       long_list,
       line,
       {"w.txt"},
       "    Tag list too long in file: w.HDR\n\n\n",
       "tagpress: w.HDR:226: with tag 225 the names and their separators take 16425 bytes; at "
       "most 16383\n"},
      {"no valid line",
       "1\nA\n",
       "2015-03-05 10:20:30 1.5\n",
       {"w.txt"},
       "    No valid line in file: w.txt\n\n\n",
       "tagpress: w.txt:1: skipped malformed line (no date and time DD/MM/YYYY HH:MM:SS at the "
       "start): '2015-03-05 10:20:30 1.5'\n"
       "tagpress: w.txt: its one line does not start with a valid date and time DD/MM/YYYY "
       "HH:MM:SS\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "w.HDR");
    if (c.header == "/dir") {
      fs::create_directory(dir_ / "w.HDR");
    } else if (!c.header.empty()) {
      write_file(dir_ / "w.HDR", c.header);
    }
    write_file(dir_ / "w.txt", c.data);
    write_file(dir_ / "w.HST", "older");
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    ASSERT_GE(r.out.size(), c.out.size()) << c.name;
    EXPECT_EQ(r.out.substr(r.out.size() - c.out.size()), c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(read_file(dir_ / "w.HST"), "older") << c.name;
  }
}

}  // namespace
}  // namespace e2e
