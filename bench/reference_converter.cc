// reference_converter: the yardstick of the benchmark. It converts a log the
// plain way, one C library call per piece, so that tagpress's speed has
// something to be compared with:
//   - fgets of each line into a 4 KiB buffer;
//   - sscanf for the date and the time;
//   - strtod for each value (fixed width from column 20 + 11 k, or with "/e"
//     split at the separator with strchr);
//   - the zone offset taken for every line from localtime_r of the current
//     time, as the tool this replaces did (so it agrees with tagpress in UTC only);
//   - printf of the line counter and fwrite of each 8-byte field.
// It does not read fractions of a second or the /i and /f time window.
//
//   reference_converter DATA.txt [SEP] [/e]
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little,
              "history files are little-endian and the fields are written as they lie in memory");

constexpr int kLineBufferSize = 4096;
constexpr int kValuesColumn = 20;
constexpr int kFieldStride = 11;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr int64_t kTicksPerSecond = 10'000'000;

struct Arguments {
  std::string data_path;
  bool delimited = false;
  char separator = '\t';
};

bool parse_arguments(int argc, char** argv, Arguments& args) {
  if (argc < 2) return false;
  args.data_path = argv[1];
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "/e") == 0 || std::strcmp(argv[i], "/E") == 0) {
      args.delimited = true;
    } else if (argv[i][0] != '/' && argv[i][0] != '\0') {
      args.separator = argv[i][0];
    } else {
      return false;
    }
  }
  return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t days_from_civil(int year, unsigned month, unsigned day) {
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                         std::chrono::day{day}};
  return std::chrono::sys_days{date}.time_since_epoch().count();
}

// Reads the tag names: the first line holds the count, each next line a name
// (its text up to the first blank).
bool read_tags(const std::string& path, std::vector<std::string>& names) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  char line[kLineBufferSize];
  const int count = std::fgets(line, sizeof line, file) != nullptr ? std::atoi(line) : 0;
  for (int i = 0; i < count; ++i) {
    if (std::fgets(line, sizeof line, file) == nullptr) line[0] = '\0';
    line[std::strcspn(line, " \t\r\n")] = '\0';
    names.emplace_back(line);
  }
  std::fclose(file);
  return true;
}

void put16(FILE* file, unsigned value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value & 0xFF),
                                  static_cast<unsigned char>(value >> 8)};
  std::fwrite(bytes, 1, 2, file);
}

bool write_header(const std::string& path, const std::vector<std::string>& names) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::string tag_list;
  for (const std::string& name : names) tag_list += name + "\t \t";
  const unsigned count = static_cast<unsigned>(names.size());
  put16(file, 3);
  put16(file, 70 + static_cast<unsigned>(tag_list.size()));
  put16(file, 8 + 8 * count);
  put16(file, static_cast<unsigned>(tag_list.size()));
  const char zeros[60] = {};
  std::fwrite(zeros, 1, sizeof zeros, file);
  put16(file, count);
  std::fwrite(tag_list.data(), 1, tag_list.size(), file);
  return std::fclose(file) == 0;
}

// Offset of local time east of UTC, in seconds, now.
long current_zone_offset() {
  const std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  return local.tm_gmtoff;
}

void read_fixed_values(const char* line, size_t length, int count, double* values) {
  for (int k = 0; k < count; ++k) {
    const size_t column = kValuesColumn + static_cast<size_t>(kFieldStride * k);
    values[k] = column < length ? std::strtod(line + column, nullptr) : 0.0;
  }
}

// Splits the text from column 20 at the separator; when the fields run out the
// last one is repeated for the remaining tags.
void read_delimited_values(const char* line, size_t length, char separator, int count,
                           double* values) {
  const char* field = line + (length > kValuesColumn ? kValuesColumn : length);
  int k = 0;
  for (; k < count; ++k) {
    values[k] = std::strtod(field, nullptr);
    const char* next = std::strchr(field, separator);
    if (next == nullptr) break;
    field = next + 1;
  }
  for (int rest = k + 1; rest < count; ++rest) values[rest] = values[k];
}

int convert(const Arguments& args) {
  const size_t dot = args.data_path.find_last_of('.');
  const std::string stem = args.data_path.substr(0, dot);
  const std::string history_path = stem + ".HST";
  std::printf("\n* Creating file %s\n", history_path.c_str());

  std::vector<std::string> names;
  if (!read_tags(stem + ".HDR", names)) {
    std::printf("    Could not open file: %s.HDR\n", stem.c_str());
    return 1;
  }
  FILE* in = std::fopen(args.data_path.c_str(), "r");
  if (in == nullptr || !write_header(history_path, names)) {
    std::printf("    Could not open file: %s\n", args.data_path.c_str());
    return 1;
  }
  for (const std::string& name : names) std::printf("   Tag = %s \n", name.c_str());
  FILE* out = std::fopen(history_path.c_str(), "ab");
  if (out == nullptr) return 1;

  const int count = static_cast<int>(names.size());
  std::vector<double> values(names.size() + 1);
  char line[kLineBufferSize];
  int line_number = 0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    std::printf("\r   Line = %d   ", ++line_number);
    unsigned short day, month, year, hour, minute, second;
    const size_t length = std::strlen(line);
    if (std::sscanf(line, "%2hu/%2hu/%4hu", &day, &month, &year) != 3 || length <= 11 ||
        std::sscanf(line + 11, "%2hu:%2hu:%2hu", &hour, &minute, &second) != 3) {
      continue;
    }
    if (args.delimited) {
      read_delimited_values(line, length, args.separator, count, values.data());
    } else {
      read_fixed_values(line, length, count, values.data());
    }
    const int64_t local_seconds =
        days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    const int64_t utc_seconds = local_seconds - current_zone_offset();
    const uint64_t ticks =
        static_cast<uint64_t>((utc_seconds + kSecondsFrom1601To1970) * kTicksPerSecond);
    std::fwrite(&ticks, 8, 1, out);
    for (int k = 0; k < count; ++k) std::fwrite(&values[k], 8, 1, out);
  }
  std::printf("\n\n");
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("\nASCII File to History File Converter (benchmark reference)\n");
  Arguments args;
  if (!parse_arguments(argc, argv, args)) {
    std::printf("\n\tUsage:\treference_converter <filename> [<separator>] [/e]\n");
    return 255;
  }
  return convert(args);
}
