#include "front/driver.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/console.h"
#include "common/file_names.h"
#include "convert/conversion.h"
#include "convert/system_time_zone.h"
#include "front/command_line.h"
#include "front/environment.h"
#include "platform/platform.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 255;

// What `path` leads to (after its symbolic links); none when its status cannot be read.
std::optional<std::filesystem::file_status> status_of(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = path_status(path, error);
  if (error) return std::nullopt;
  return status;
}

// Tells a TZ value the system does not know of, with the first file's warnings: every time
// would be an hour or two off.
void check_time_zone(const RunEnvironment& environment, Warnings& warnings) {
  const char* tz = environment.tz ? environment.tz->c_str() : nullptr;
  const char* folder = environment.zone_folder ? environment.zone_folder->c_str() : nullptr;
  if (!time_zone_is_known(tz, folder) && count_warning(warnings, WarningKind::kTimeZone)) {
    show_warning(
        warnings, WarningKind::kTimeZone, "", 0,
        join({"TZ='", tz, "' names no time zone this system knows; times are taken as UTC"}));
  }
  const std::string notice = local_time_rules_notice();
  if (!notice.empty() && count_warning(warnings, WarningKind::kTimeZone)) {
    show_warning(warnings, WarningKind::kTimeZone, "", 0, notice);
  }
}

// Why find_data_files found nothing for `argument`.
std::string nothing_found_reason(const std::string& argument) {
  if (argument.empty()) return "the data file name is empty";
  if (!is_file_pattern(argument)) {
    std::error_code error;
    (void)path_status(argument, error);
    return error ? error_text(error.value()) : "No such file or directory";
  }
  return expand_file_pattern(argument).empty()
             ? "no file matches the pattern"
             : "the pattern matches only tag header files, history files and folders";
}

// Whether `argument` names no path and, as a pattern, matches none either.
bool names_nothing(const std::string& argument) {
  if (status_of(argument)) return false;
  return !is_file_pattern(argument) || expand_file_pattern(argument).empty();
}

// The first --help, -h or --version on the command line, wherever it stands, as GNU programs
// read them; after the first argument, the name of an existing file is a data file instead.
// Empty when there is none.
std::string_view requested_information(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument != "--help" && argument != "-h" && argument != "--version") continue;
    if (i == 1 || !names_data_file(argv[i])) return argument;
  }
  return {};
}

}  // namespace

std::vector<std::string> find_data_files(const std::string& argument) {
  if (status_of(argument)) return {argument};
  if (!is_file_pattern(argument)) return {};

  std::vector<std::string> found;
  for (std::string& path : expand_file_pattern(argument)) {
    const auto status = status_of(path);
    if (status && std::filesystem::is_regular_file(*status) && !has_extension(path, "HDR") &&
        !has_extension(path, "HST")) {
      found.push_back(std::move(path));
    }
  }
  return found;
}

bool names_data_file(const std::string& argument) {
  return argument.size() >= 2 && status_of(argument);
}

bool passed_over_among_several(const std::string& path) {
  if (has_extension(path, "HDR") || has_extension(path, "HST")) return true;
  const auto status = status_of(path);
  return status && !std::filesystem::is_regular_file(*status);
}

int run_converter(int argc, char** argv) {
  install_stop_handlers();
  console_open(standard_output());
  const std::string first = argc > 1 ? argv[1] : "";
  const std::string_view request = requested_information(argc, argv);
  if (request == "--version") {
    console_message("tagpress " TAGPRESS_VERSION "\n");
    console_flush();
    return kExitOk;
  }
  const RunEnvironment environment = read_environment();
  ConversionOptions options;
  options.delimited = options.has_start = options.has_finish = false;
  options.threads = environment.threads;
  options.block_bytes = environment.block_bytes;
  print_banner();
  if (!request.empty()) {
    print_usage();
    print_help_more();
    console_flush();
    return kExitOk;
  }
  // The shell expands an unquoted pattern into names: those are data files
  // too, wherever they stand after the first argument.
  std::vector<std::string> more_files, option_arguments;
  for (int i = 2; i < argc; ++i) {
    (names_data_file(argv[i]) ? more_files : option_arguments).emplace_back(argv[i]);
  }
  OptionReport report;
  if (argc < 2) {
    report.faults.push_back("no data file named");
  } else if (is_option_word(first) && names_nothing(first)) {
    // Options put before the data file, as in "tagpress /e log.txt ,": the log would otherwise
    // be converted without the options meant for it.
    report.faults.push_back(
        join({"'", first, "' is an option, not a data file; the data file comes first"}));
  }
  if (!parse_options(option_arguments, options, report) || !report.faults.empty()) {
    print_usage();
    for (const std::string& fault : report.faults) print_failure("", fault);
    console_flush();
    return kExitUsage;
  }
  // Told with the first file's warnings.
  Warnings warnings;
  for (const std::string& note : report.notes) {
    if (count_warning(warnings, WarningKind::kOptions)) {
      show_warning(warnings, WarningKind::kOptions, "", 0, note);
    }
  }

  int status = kExitOk;
  const bool several = !more_files.empty();
  std::vector<std::string> files;
  if (!several || !passed_over_among_several(first)) {
    files = find_data_files(first);
    if (files.empty()) {
      console_message("Cannot found file ", first, " !");
      print_failure(first, nothing_found_reason(first));
      status = kExitFailure;
    }
  }
  for (const std::string& file : more_files) {
    if (!passed_over_among_several(file)) files.push_back(file);
  }
  if (files.empty() && status == kExitOk) {
    // Every name was a tag header, a history file or a folder: nothing to convert.
    console_message("Cannot found file ", first, " !");
    print_failure(first, "every name given is a tag header file, a history file or a folder");
    status = kExitFailure;
  }
  TimeZone zone = load_system_time_zone();
  check_time_zone(environment, warnings);
  warnings.run_warned = any_warning(warnings);
  auto tags = std::make_unique_for_overwrite<TagTable>();
  BlockPipeline pipeline(options.threads);
  for (const std::string& file : files) {
    const ConversionResult result = convert_file(file, options, *tags, zone, warnings, pipeline);
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
