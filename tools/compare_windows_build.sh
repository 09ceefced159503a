#!/usr/bin/env bash
# Converts the same logs with the Linux build and with tagpress.exe under wine, and fails unless
# both give the same standard output, standard error, exit status and history file, and
# hstdump and hstdump.exe print the same CSV (UTC and --local) and summary. The logs: the
# examples, benchmark logs of each layout (bench/loggen), and a table of local times around
# the clock changes of 1995 and 2015 in UTC, Europe/Berlin, America/New_York,
# Australia/Lord_Howe, a POSIX TZ string and an unknown zone. Then times both builds on the
# largest log, alternating, and prints the best of three runs of each.
#
#   tools/compare_windows_build.sh [LINUX_BUILD [WINDOWS_BUILD]]
#
# LINUX_BUILD (default build-bench) is configured here with -DTAGPRESS_BUILD_BENCH=ON and built;
# WINDOWS_BUILD (default build-mingw) must hold tagpress.exe and hstdump.exe, and zoneinfo
# beside them (the cross build links it). Needs wine (.ci/wine-setup keeps a server up).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(realpath -m "${1:-$root/build-bench}")
windows=$(realpath -m "${2:-$root/build-mingw}")
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
export WINEDEBUG=-all
unset TZDIR

cmake -S "$root" -B "$linux" -DTAGPRESS_BUILD_BENCH=ON -DTAGPRESS_BUILD_TESTS=OFF >/dev/null
cmake --build "$linux" -j2 --target tagpress hstdump loggen >/dev/null
for exe in tagpress.exe hstdump.exe zoneinfo/Europe/Berlin; do
  [ -e "$windows/$exe" ] || { echo "missing: $windows/$exe" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tagpress_compare_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/logs"
cp "$root"/examples/* "$work/logs/"
gen() { "$linux/loggen" "$work/logs/$1.txt" "${@:2}" >/dev/null; }
gen fixed --lines 300000
gen delimited --lines 200000 --delimited
gen wide --lines 30000 --tags 64
gen fractions --lines 200000 --fractions
# Every 20 minutes over the days around the clock changes of the zones compared.
python3 - "$work/logs/zones.txt" <<'EOF'
import datetime, sys
days = ["1995-03-25", "1995-09-23", "1995-10-28", "2015-03-07", "2015-03-28", "2015-04-04",
        "2015-10-03", "2015-10-24", "2015-10-31", "1870-07-01", "2090-07-14"]
with open(sys.argv[1], "w") as out:
    for day in days:
        t = datetime.datetime.fromisoformat(day)
        for step in range(3 * 72):
            out.write((t + datetime.timedelta(minutes=20 * step)).strftime("%d/%m/%Y %H:%M:%S")
                      + "\t%10d\n" % step)
EOF
printf '1\nSTEP\n' > "$work/logs/zones.HDR"

failures=0
# Runs `program` (tagpress or hstdump) of both builds with TZ=$tz in copies of the logs and
# compares everything they leave.
compare() {
  local tz=$1 name=$2
  shift 2
  local side
  for side in linux windows; do
    rm -rf "$work/$side" && cp -r "$work/logs" "$work/$side"
    (
      cd "$work/$side"
      if [ "$side" = linux ]; then
        TZ=$tz "$linux/tagpress" "$@" >out.txt 2>err.txt && echo 0 >status.txt || echo $? >status.txt
      else
        TZ=$tz "$wine" "$windows/tagpress.exe" "$@" >out.txt 2>err.txt && echo 0 >status.txt ||
          echo $? >status.txt
      fi
      for hst in *.HST; do
        for options in "" "--local" "--summary"; do
          if [ "$side" = linux ]; then
            TZ=$tz "$linux/hstdump" $options "$hst" >"$hst.csv$options" 2>&1 || true
          else
            TZ=$tz "$wine" "$windows/hstdump.exe" $options "$hst" >"$hst.csv$options" 2>&1 || true
          fi
        done
      done
    )
  done
  if diff -r "$work/linux" "$work/windows" >"$work/diff.txt"; then
    echo "same: TZ=$tz tagpress $name"
  else
    echo "DIFFERENT: TZ=$tz tagpress $name" >&2
    head -n 20 "$work/diff.txt" >&2
    failures=$((failures + 1))
  fi
}

compare Europe/Berlin "examples" boiler.txt
compare UTC "fixed width" fixed.txt /q
compare Europe/Berlin "fixed width, window" fixed.txt /i:08:00:00 /f:17:59:59
compare UTC "delimited" delimited.txt /e
compare America/New_York "64 tags" wide.txt /q
compare Australia/Lord_Howe "fractions" fractions.txt /q
for tz in UTC Europe/Berlin America/New_York Australia/Lord_Howe "CET-1CEST,M3.5.0,M10.5.0/3" \
  "AEST-10AEDT,M10.1.0,M4.1.0/3" \
  Europe/Berln; do
  compare "$tz" "zone table" zones.txt
done
compare Europe/Berlin "every log" '*.txt' /q

# Timing: the largest log, each build three times in turn; the best of each.
gen timing --lines 1000000
best() { sort -n | head -n 1; }
for round in 1 2 3; do
  for side in linux windows; do
    start=$(date +%s.%N)
    if [ "$side" = linux ]; then
      (cd "$work/logs" && TZ=Europe/Berlin "$linux/tagpress" timing.txt /q >/dev/null)
    else
      (cd "$work/logs" && TZ=Europe/Berlin "$wine" "$windows/tagpress.exe" timing.txt /q >/dev/null)
    fi
    awk -v end="$(date +%s.%N)" -v start="$start" 'BEGIN { print end - start }' >>"$work/$side.times"
  done
done
size=$(stat -c %s "$work/logs/timing.txt")
for side in linux windows; do
  seconds=$(best <"$work/$side.times")
  awk -v side="$side" -v s="$seconds" -v size="$size" \
    'BEGIN { printf "time %-7s %.3f s for %.0f MB (%.0f MB/s), best of 3\n", side, s, size / 1e6, size / 1e6 / s }'
done

[ "$failures" -eq 0 ] || { echo "$failures comparisons differ" >&2; exit 1; }
echo "every comparison gave the same bytes"
