#include "front/driver.h"

#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/console.h"
#include "common/file_names.h"
#include "convert/conversion.h"
#include "front/command_line.h"
#include "platform/platform.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 255;

}  // namespace

std::vector<std::string> find_data_files(const std::string& argument) {
  struct stat info;
  if (::stat(argument.c_str(), &info) == 0) return {argument};
  if (argument.find_first_of("*?") == std::string::npos) return {};

  std::vector<std::string> found;
  glob_t matches = {};
  if (::glob(argument.c_str(), 0, nullptr, &matches) == 0) {
    for (size_t i = 0; i < matches.gl_pathc; ++i) {
      const char* path = matches.gl_pathv[i];
      if (::stat(path, &info) == 0 && S_ISREG(info.st_mode) && !has_extension(path, "HDR") &&
          !has_extension(path, "HST")) {
        found.emplace_back(path);
      }
    }
  }
  ::globfree(&matches);
  std::sort(found.begin(), found.end());
  return found;
}

bool names_data_file(const std::string& argument) {
  struct stat info;
  return argument.size() >= 2 && ::stat(argument.c_str(), &info) == 0;
}

bool passed_over_among_several(const std::string& path) {
  if (has_extension(path, "HDR") || has_extension(path, "HST")) return true;
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

int run_converter(int argc, char** argv) {
  install_stop_handlers();
  console_open(1);
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc > 1 && first == "--version") {
    console_message("tagpress " TAGPRESS_VERSION "\n");
    console_flush();
    return kExitOk;
  }
  ConversionOptions options;
  options.delimited = options.has_start = options.has_finish = false;
  print_banner();
  if (argc > 1 && (first == "--help" || first == "-h")) {
    print_usage();
    console_flush();
    return kExitOk;
  }
  // The shell expands an unquoted pattern into names: those are data files
  // too, wherever they stand after the first argument.
  std::vector<std::string> more_files, option_arguments;
  for (int i = 2; i < argc; ++i) {
    (names_data_file(argv[i]) ? more_files : option_arguments).emplace_back(argv[i]);
  }
  if (argc < 2 || !parse_options(option_arguments, options)) {
    print_usage();
    console_flush();
    return kExitUsage;
  }

  int status = kExitOk;
  const bool several = !more_files.empty();
  std::vector<std::string> files;
  if (!several || !passed_over_among_several(first)) {
    files = find_data_files(first);
    if (files.empty()) {
      console_message("Cannot found file ", first, " !");
      status = kExitFailure;
    }
  }
  for (const std::string& file : more_files) {
    if (!passed_over_among_several(file)) files.push_back(file);
  }
  if (files.empty() && status == kExitOk) {
    // Every name was a tag header, a history file or a folder: nothing to convert.
    console_message("Cannot found file ", first, " !");
    status = kExitFailure;
  }
  TimeZone zone = load_system_time_zone();
  // Told with the first file's warnings: every time would be an hour or two off.
  Warnings warnings;
  const char* tz = std::getenv("TZ");
  if (!time_zone_is_known(tz) && count_warning(warnings, WarningKind::kTimeZone)) {
    show_warning(
        warnings, WarningKind::kTimeZone, "", 0,
        join({"TZ='", tz, "' names no time zone this system knows; times are taken as UTC"}));
  }
  auto tags = std::make_unique<TagTable>();
  for (const std::string& file : files) {
    const ConversionResult result = convert_file(file, options, *tags, zone, warnings);
    if (result == ConversionResult::kInterrupted) {
      console_flush();
      return 128 + stop_signal_number();
    }
    if (result == ConversionResult::kFailed) status = kExitFailure;
  }
  console_message("\n\n");
  console_flush();
  return status;
}
