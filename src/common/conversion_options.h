// Settings taken from the command line and read by the conversion run.
#pragma once

#include <cstddef>
#include <cstdint>

// A time of day as typed on the command line: no range check, any signed value.
struct TimeOfDay {
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
};

// Everything the command line decides about a conversion.
struct ConversionOptions {
  char separator = '\t';   // field separator of the delimited layout
  bool delimited = false;  // "/e": values split at the separator instead of 10-column fields
  bool has_start = false;  // "/i": lines before `start` (time of day) are dropped
  TimeOfDay start;
  bool has_finish = false;  // "/f": lines after `finish` (time of day) are dropped
  TimeOfDay finish;
  bool quiet = false;          // "/q" or "--quiet": no line counter
  bool decimal_comma = false;  // "--decimal-comma": ',' is the decimal point of values, '.' is not
  bool blanks = false;         // "--blanks": values split at runs of blanks and tabs (delimited)
  bool month_first = false;    // "--month-first": dates are MM/DD/YYYY
  bool nan = false;            // "--nan": a value not in the line is written as a quiet NaN
  bool strict = false;         // "--strict": a data file that draws any warning is not converted
  // Set from the environment by the front end, never from the command line:
  int threads = 1;         // threads that convert the data file (TAGPRESS_THREADS, else the CPUs)
  size_t block_bytes = 0;  // bytes read per block (TAGPRESS_BLOCK_BYTES); 0: chosen by the run
};
