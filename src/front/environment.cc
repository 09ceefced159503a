#include "front/environment.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"

namespace {

constexpr int kMostThreadsByDefault = 16;
constexpr long kMostThreads = 256;
constexpr long kMostBlockBytes = 64 << 20;

}  // namespace

int threads_from(const std::optional<std::string>& text, int cpus) {
  if (text) {
    char* end = nullptr;
    const long wanted = std::strtol(text->c_str(), &end, 10);
    if (end != text->c_str() && *end == '\0' && wanted >= 1 && wanted <= kMostThreads) {
      return static_cast<int>(wanted);
    }
  }
  return std::clamp(cpus, 1, kMostThreadsByDefault);
}

size_t block_bytes_from(const std::optional<std::string>& text) {
  if (!text) return 0;
  // Leading white space and a sign are taken, and text after the digits is ignored.
  const long bytes = std::strtol(text->c_str(), nullptr, 10);
  return bytes > 0 && bytes <= kMostBlockBytes ? static_cast<size_t>(bytes) : 0;
}

RunEnvironment read_environment() {
  RunEnvironment environment;
  environment.threads = threads_from(environment_variable("TAGPRESS_THREADS"), cpu_count());
  environment.block_bytes = block_bytes_from(environment_variable("TAGPRESS_BLOCK_BYTES"));
  environment.tz = environment_variable("TZ");
  environment.zone_folder = environment_variable("TZDIR");
  return environment;
}
