#!/usr/bin/env bash
# Throughput benchmark of tagpress against the plain reference converter.
#
#   bench/run.sh [--quick]
#
# Builds Release into ../build-bench (beside the repository), generates the
# input logs into ${TMPDIR:-/tmp}/tagpress-bench (kept and reused while their
# parameters and the generator stay the same), times tagpress and the
# reference alternately on each scenario with TZ=UTC, prints a Markdown table,
# then checks that both wrote byte-identical history files wherever both are
# defined. Exits non-zero if anything fails or differs; a speed target that is
# not met is reported, not failed.
#
# --quick: a tenth of the lines and 3 runs each, as a smoke test.
# Environment: TAGPRESS_BENCH_BUILD (build folder), TAGPRESS_BENCH_DATA (input folder),
# TAGPRESS_BENCH_BASELINE (a tagpress binary of an earlier build: timed in the same
# alternation, shown beside tagpress, and its history files must be identical).
#
# After the table: tagpress on 1 thread and on every CPU (the scaling), both
# pinned to one core with taskset (against the baseline there too), and the
# I/O floor of the fixed-width 8-tag input: reading it to /dev/null plus
# copying a file as large as its history file; the value readers' nanoseconds
# per value (value_reader_bench); the outputs at 1, 2 and 3 threads and of the
# baseline, compared byte for byte; and a "Targets" block that sets each
# measured figure beside its target.
set -euo pipefail

quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *)
    echo "usage: bench/run.sh [--quick]" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TAGPRESS_BENCH_BUILD:-$root/../build-bench}
data=${TAGPRESS_BENCH_DATA:-${TMPDIR:-/tmp}/tagpress-bench}
runs=5
target_runs=11 # the alternation behind the Targets block: more runs, steadier medians
scale=1
if ((quick)); then
  runs=3
  target_runs=3
  scale=10
fi
export TZ=UTC
export LC_ALL=C
# Each run below sets its own thread count; without one tagpress takes its default.
unset TAGPRESS_THREADS

fail() {
  echo "bench: $*" >&2
  exit 1
}

# --- build -----------------------------------------------------------------
mkdir -p "$build" "$data"
build_log=$build/bench-build.log
echo "Building Release into $build ..." >&2
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAGPRESS_BUILD_TESTS=OFF \
  -DTAGPRESS_BUILD_BENCH=ON && cmake --build "$build" -j2; } >"$build_log" 2>&1; then
  tail -n 40 "$build_log" >&2
  fail "build failed (full log: $build_log)"
fi
build=$(cd "$build" && pwd)
tagpress=$build/tagpress
reference=$build/reference_converter
baseline=${TAGPRESS_BENCH_BASELINE:-}
if [[ -n $baseline ]]; then
  [[ -x $baseline ]] || fail "TAGPRESS_BENCH_BASELINE=$baseline is no executable"
  baseline=$(cd "$(dirname "$baseline")" && pwd)/$(basename "$baseline")
fi
loggen=$build/loggen

# Peak memory comes from GNU time; install it when it is missing and we may.
if [[ ! -x /usr/bin/time ]] && [[ $(id -u) == 0 ]]; then
  apt-get install -y time >/dev/null 2>&1 || true
fi
have_time=0
[[ -x /usr/bin/time ]] && have_time=1

# --- inputs ----------------------------------------------------------------
# generate NAME LOGGEN-ARGS...: writes $data/NAME.txt and NAME.HDR unless a
# previous run made them with the same arguments and the same generator source.
generate() {
  local name=$1
  shift
  local stamp
  stamp="$* $(cat "$root/bench/loggen.cc" "$root/bench/log_walk.h" "$root/bench/log_text.h" | cksum)"
  if [[ -f $data/$name.txt && -f $data/$name.HDR && -f $data/$name.params ]] &&
    [[ $(cat "$data/$name.params") == "$stamp" ]]; then
    return
  fi
  echo "Generating $name ..." >&2
  rm -f "$data/$name.params"
  "$loggen" "$data/$name.txt" "$@" || fail "loggen failed for $name"
  echo "$stamp" >"$data/$name.params"
}

# 1000000 -> 1M, 250000 -> 250k: line counts as they appear in scenario names.
short() { if (($1 % 1000000 == 0)); then echo "$(($1 / 1000000))M"; else echo "$(($1 / 1000))k"; fi; }

l1m=$((1000000 / scale))
l4m=$((4000000 / scale))
l250k=$((250000 / scale))
n1m=$(short $l1m)
n4m=$(short $l4m)
n250k=$(short $l250k)
generate fixed8_$l1m --tags 8 --lines $l1m
generate fixed8_$l4m --tags 8 --lines $l4m
generate delim8_$l1m --tags 8 --lines $l1m --delimited
generate fixed64_$l250k --tags 64 --lines $l250k
generate frac8_$l1m --tags 8 --lines $l1m --fractions
generate comma8_$l1m --tags 8 --lines $l1m --decimal-comma
generate blanks8_$l1m --tags 8 --lines $l1m --blanks

# --- timing ----------------------------------------------------------------
# time_run MODE USAGE-FILE FRESH PROGRAM ARGS...: runs PROGRAM in $data, standard
# output to a file (MODE=file) or to a pseudo-terminal (MODE=pty); prints the
# wall time in seconds and leaves "peak-RSS-KiB user-s system-s" of PROGRAM in
# USAGE-FILE. Fails loudly on a non-zero exit. FRESH (a path, or - for none) is
# the file the run writes: it is removed first, so that every run creates its
# output anew, and the writes of earlier runs are flushed (sync) before the clock
# starts, so that no run pays for another's.
time_run() {
  local mode=$1 usage_file=$2 fresh=$3
  shift 3
  local -a cmd=("$@")
  if ((have_time)); then cmd=(/usr/bin/time -f "%M %U %S" -o "$usage_file" "${cmd[@]}"); fi
  [[ $fresh == - ]] || rm -f "$fresh"
  sync
  local start end status=0
  start=$(date +%s%N)
  if [[ $mode == pty ]]; then
    (cd "$data" && script -qfec "$(printf '%q ' "${cmd[@]}")" /dev/null </dev/null >/dev/null) ||
      status=$?
  else
    (cd "$data" && "${cmd[@]}" >"$data/stdout.txt" </dev/null) || status=$?
  fi
  end=$(date +%s%N)
  ((status == 0)) || fail "'$*' exited with status $status"
  awk -v ns=$((end - start)) 'BEGIN { printf "%.4f\n", ns / 1e9 }'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
max_of() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# The largest peak RSS (KiB) of all tagpress runs; note_peak USAGE-FILE folds in
# the run that time_run (or GNU time) described there.
peak_rss_kib=0
note_peak() {
  ((have_time)) || return 0
  local kib
  kib=$(tail -n 1 "$1" | cut -d' ' -f1)
  ((kib > peak_rss_kib)) && peak_rss_kib=$kib
  return 0
}

# Header length and record length of a history file, from its bytes 2-5.
hst_lengths() { od -An -tu2 -j2 -N4 "$1" | awk '{ print $1, $2 }'; }

# Checks that a history file holds exactly one record per line of its input.
check_record_count() {
  local hst=$1 lines=$2
  local header record size
  read -r header record < <(hst_lengths "$hst")
  size=$(stat -c %s "$hst")
  ((size == header + lines * record)) ||
    fail "$hst has $size bytes, expected $header + $lines x $record"
}

declare -A tp_time tp_cpu ref_time base_time
table_rows=()

# scenario NAME INPUT MODE REF ARGS...
#   MODE: file or pty (standard output of tagpress)
#   REF:  compare (time it and cmp the outputs), time (time it only), skip, or
#         self (no reference: tagpress with standard output to a file is timed
#         in its place, so that a pty run has a redirected run beside it)
scenario() {
  local name=$1 input=$2 mode=$3 ref=$4
  shift 4
  local txt=$input.txt hst=$data/$input.HST
  local bytes lines
  bytes=$(stat -c %s "$data/$txt")
  lines=$(wc -l <"$data/$txt")
  cat "$data/$txt" >/dev/null # into the page cache before the first timed run
  echo "Timing $name ($runs runs each) ..." >&2
  local -a tp_times=() tp_rsses=() tp_cpus=() ref_times=() base_times=()
  for ((i = 0; i < runs; ++i)); do
    if [[ -n $baseline ]]; then
      base_times+=("$(time_run "$mode" "$data/usage.txt" "$hst" "$baseline" "$txt" "$@")")
      mv "$hst" "$data/$name.baseline.HST"
    fi
    tp_times+=("$(time_run "$mode" "$data/usage.txt" "$hst" "$tagpress" "$txt" "$@")")
    if ((have_time)); then
      local usage
      usage=$(tail -n 1 "$data/usage.txt")
      tp_rsses+=("${usage%% *}")
      tp_cpus+=("$(awk '{ print $2 + $3 }' <<<"$usage")")
      note_peak "$data/usage.txt"
    fi
    mv "$hst" "$data/$name.tagpress.HST"
    if [[ $ref == self ]]; then
      ref_times+=("$(time_run file "$data/usage.txt" "$hst" "$tagpress" "$txt" "$@")")
      note_peak "$data/usage.txt"
      rm -f "$hst"
    elif [[ $ref != skip ]]; then
      ref_times+=("$(time_run file "$data/usage.txt" "$hst" "$reference" "$txt" "$@")")
      mv "$hst" "$data/$name.reference.HST"
    fi
  done
  check_record_count "$data/$name.tagpress.HST" "$lines"
  local partner=reference
  [[ $ref == self ]] && partner="redirected tagpress"
  echo "  tagpress s: ${tp_times[*]}; $partner s: ${ref_times[*]:-skipped}" >&2
  local base_col="-" vs_base="-"
  if [[ -n $baseline ]]; then
    echo "  baseline s: ${base_times[*]}" >&2
    cmp -s "$data/$name.tagpress.HST" "$data/$name.baseline.HST" ||
      fail "$name: tagpress and the baseline wrote different history files"
    base_time[$name]=$(median "${base_times[@]}")
    base_col=${base_time[$name]}
  fi

  local t mb
  t=$(median "${tp_times[@]}")
  mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
  tp_time[$name]=$t
  local rss=n/a cpu=n/a ref_col ratio_col
  if ((have_time)); then
    rss=$(awk -v k="$(max_of "${tp_rsses[@]}")" 'BEGIN { printf "%.1f", k / 1024 }')
    cpu=$(median "${tp_cpus[@]}")
  fi
  tp_cpu[$name]=$cpu
  case $ref in
    self)
      ref_time[$name]=$(median "${ref_times[@]}")
      ref_col="skipped"
      ratio_col="-"
      ;;
    skip)
      ref_col="skipped"
      ratio_col="-"
      ;;
    *)
      ref_time[$name]=$(median "${ref_times[@]}")
      ref_col=${ref_time[$name]}
      ratio_col=$(awk -v r="${ref_time[$name]}" -v t="$t" 'BEGIN { printf "%.2fx", r / t }')
      # Without fractions support the reference reads other text on these
      # lines (short integers), so its time is shown but not compared.
      if [[ $ref == time ]]; then
        ref_col="($ref_col, reads no fractions)"
        ratio_col="-"
      fi
      ;;
  esac
  [[ -n $baseline ]] && vs_base=$(awk -v b="$base_col" -v t="$t" 'BEGIN { printf "%.2fx", b / t }')
  table_rows+=("$(awk -v n="$name" -v mb="$mb" -v t="$t" -v l="$lines" -v rss="$rss" \
    -v cpu="$cpu" -v rc="$ref_col" -v rt="$ratio_col" -v bc="$base_col" -v vb="$vs_base" 'BEGIN {
      printf "| %s | %s | %.3f | %.0f | %.0f | %s | %s | %s | %s | %s | %s |", n, mb, t, mb / t,
        l / t, cpu, rss, rc, rt, bc, vb
    }')")
}

# Compares the last outputs of tagpress and the reference of a scenario; on a
# difference names the first differing record, field and bytes, and fails.
compare_outputs() {
  local name=$1
  local a=$data/$name.tagpress.HST b=$data/$name.reference.HST
  if cmp -s "$a" "$b"; then
    echo "  $name: history files identical ($(stat -c %s "$a") bytes)"
    return 0
  fi
  echo "  $name: HISTORY FILES DIFFER" >&2
  cmp "$a" "$b" >&2 || true
  local first header record
  first=$(cmp "$a" "$b" 2>/dev/null | awk '{ print $5 + 0 }')
  read -r header record < <(hst_lengths "$b")
  if [[ -n $first ]] && ((first - 1 >= header)); then
    local offset=$((first - 1 - header))
    local rec=$((offset / record)) field=$((offset % record / 8))
    local at=$((header + rec * record + field * 8))
    echo "  first difference in record $((rec + 1)) (data line $((rec + 1)) if no line was" \
      "skipped), field $field (0 = ticks, k = value of tag k)" >&2
    echo "  tagpress : $(od -An -tx1 -j$at -N8 "$a")" >&2
    echo "  reference: $(od -An -tx1 -j$at -N8 "$b")" >&2
    echo "  data line: $(sed -n "$((rec + 1))p" "$data/$2.txt")" >&2
  fi
  return 1
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
scenario "fixed-8x$n1m" fixed8_$l1m file compare
scenario "fixed-8x$n4m" fixed8_$l4m file skip
scenario "delimited-8x$n1m" delim8_$l1m file compare /e
scenario "fixed-64x$n250k" fixed64_$l250k file compare
scenario "fractions-8x$n1m" frac8_$l1m file time
scenario "pty-8x$n1m" fixed8_$l1m pty self
# Logs that need an option: decimal commas in fixed width, values aligned with runs of blanks.
# No reference reads them, nor a baseline without the options.
baseline='' scenario "decimal-comma-8x$n1m" comma8_$l1m file skip --decimal-comma
baseline='' scenario "blanks-8x$n1m" blanks8_$l1m file skip --blanks

# --- threads, the baseline and the I/O floor ---------------------------------
# One alternation of every run the targets compare: tagpress and the baseline on
# 1 thread (fixed width and delimited), on their default thread count and
# pinned to one core, and the I/O floor. Medians of $target_runs runs each.
threads_all=$(nproc)
fixed=fixed8_$l1m
delim=delim8_$l1m
declare -A extra
# extra_runs KEY FRESH COMMAND...: one timed run of COMMAND (as time_run) added to KEY.
extra_runs() {
  local key=$1 fresh=$2
  shift 2
  extra[$key]="${extra[$key]:-} $(time_run file "$data/usage.txt" "$fresh" "$@")"
}
# tagpress_runs KEY INPUT COMMAND...: extra_runs of tagpress on INPUT, whose memory counts.
tagpress_runs() {
  local key=$1 input=$2
  shift 2
  extra_runs "$key" "$data/$input.HST" "$@"
  note_peak "$data/usage.txt"
}
# pair KEY INPUT ROUND WRAPPER... -- ARGS...: one run of WRAPPER tagpress INPUT.txt ARGS
# (added to KEY) and, with a baseline, one of the baseline (added to base_KEY). The
# baseline goes first in even rounds and second in odd ones, so neither side always
# follows the same run.
pair() {
  local key=$1 input=$2 round=$3
  shift 3
  local -a wrapper=()
  while [[ $1 != -- ]]; do
    wrapper+=("$1")
    shift
  done
  shift
  if [[ -n $baseline ]] && ((round % 2 == 0)); then
    extra_runs "base_$key" "$data/$input.HST" "${wrapper[@]}" "$baseline" "$input.txt" "$@"
  fi
  tagpress_runs "$key" "$input" "${wrapper[@]}" "$tagpress" "$input.txt" "$@"
  if [[ -n $baseline ]] && ((round % 2 == 1)); then
    extra_runs "base_$key" "$data/$input.HST" "${wrapper[@]}" "$baseline" "$input.txt" "$@"
  fi
}
echo "Timing threads, one core, the baseline and the I/O floor ($target_runs runs each) ..." >&2
cp "$data/fixed-8x$n1m.tagpress.HST" "$data/floor.src"
for ((i = 0; i < target_runs; ++i)); do
  pair t1 "$fixed" "$i" env TAGPRESS_THREADS=1 --
  pair delim_t1 "$delim" "$i" env TAGPRESS_THREADS=1 -- /e
  pair default "$fixed" "$i" env --
  # Again over the history file just written: what replacing it durably costs.
  extra_runs redo - "$tagpress" "$fixed.txt"
  extra_runs read - sh -c "cat $fixed.txt >/dev/null"
  extra_runs copy "$data/floor.dst" cp floor.src floor.dst
  pair core0 "$fixed" "$i" taskset -c 0 --
done
rm -f "$data/floor.src" "$data/floor.dst" "$data/$fixed.HST" "$data/$delim.HST"
for key in $(printf '%s\n' "${!extra[@]}" | sort); do
  echo "  $key s:${extra[$key]}" >&2
  # shellcheck disable=SC2086
  extra[$key]=$(median ${extra[$key]})
done

# --- many files --------------------------------------------------------------
# A year of daily logs (365 files of 8,640 lines; 36 with --quick), cut from one
# log: one run over the glob and xargs -P2 with one run per file, against one run
# over the whole log, alternately; then the start of a process: 20 runs on a
# 100-line file against 20 of /bin/true. Every history file is written anew.
days=$((quick ? 36 : 365))
year=year8_$days
generate $year --tags 8 --lines $((days * 8640))
many=$data/$year.days
if [[ ! $many/stamp -nt $data/$year.params ]]; then
  rm -rf "$many" && mkdir "$many"
  (cd "$many" && split -l 8640 -d -a 3 --additional-suffix=.txt "../$year.txt" day &&
    head -n 100 "../$year.txt" >small.txt)
  for f in "$many"/*.txt; do cp "$data/$year.HDR" "${f%.txt}.HDR"; done
  touch "$many/stamp"
fi
header=$( (cd "$many" && "$tagpress" small.txt /q >/dev/null) && hst_lengths "$many/small.HST" | cut -d' ' -f1)
# many_runs KEY COMMAND: one timed run of the shell COMMAND in $data, history files removed first.
many_runs() {
  rm -f "$many"/*.HST "$data/$year.HST"
  extra_runs "$1" - sh -c "$2"
  note_peak "$data/usage.txt"
}
# same_records: the records of the daily history files, in order, are those of the whole log's.
same_records() {
  cmp -s <(tail -c +$((header + 1)) "$data/$year.keep") \
    <(for f in "$many"/day*.HST; do tail -c +$((header + 1)) "$f"; done) ||
    fail "the daily history files hold other records than $year.HST"
}
echo "Timing $days daily files and the start of a process ($target_runs runs each) ..." >&2
for ((i = 0; i < target_runs; ++i)); do
  many_runs one "$tagpress $year.txt /q"
  mv "$data/$year.HST" "$data/$year.keep"
  many_runs glob "$tagpress '$many/day*.txt' /q"
  same_records
  many_runs xargs "cd $many && printf '%s\\0' day*.txt | xargs -0 -P2 -I{} $tagpress {} /q"
  same_records
  extra_runs small - sh -c "cd $many && for n in \$(seq 20); do $tagpress small.txt /q; done"
  extra_runs true - sh -c "for n in \$(seq 20); do /bin/true; done"
done
rm -f "$many"/*.HST "$data/$year.keep"
for key in one glob xargs small true; do
  # shellcheck disable=SC2086
  extra[$key]=$(median ${extra[$key]})
done

# --- value readers ---------------------------------------------------------
echo "Timing the value readers ..." >&2
# The history files written so far go to disk first: their write-back would
# otherwise share the CPU with this timing. Five runs a second apart, each
# case's best kept: a neighbour on the machine slows whole runs at a time.
sync
value_runs=""
for ((i = 0; i < 5; ++i)); do
  ((i == 0)) || sleep 1
  value_runs+=$("$build/value_reader_bench")$'\n' || fail "value_reader_bench failed"
done
# The best line of each case, in the order value_reader_bench prints them.
value_readers=$(awk '$1 == "value" && $2 == "reader" {
    if (!($3 in best)) order[++n] = $3
    if (!($3 in best) || $4 + 0 < best[$3] + 0) { best[$3] = $4; text[$3] = $0 }
  } END { for (i = 1; i <= n; ++i) print text[order[i]] }' <<<"$value_runs")
# ns_per_value KEY: the figure of one value_reader_bench case.
ns_per_value() { awk -v key="$1:" '$3 == key { print $4 }' <<<"$value_readers"; }

# --- the same outputs at every thread count ------------------------------------
# same_outputs NAME INPUT ARGS...: runs tagpress on INPUT at 1, 2 and 3 threads
# and the baseline (if any) at its default, untimed, and checks that the
# history file, standard output and standard error are byte-identical to those
# of the 1-thread run. Adds a line to same_lines; on a difference clears
# same_threads or same_baseline and keeps the files.
same_threads=1
same_baseline=1
same_lines=()
same_outputs() {
  local name=$1 input=$2
  shift 2
  local hst=$data/$input.HST out=$data/same-$name lines
  lines=$(wc -l <"$data/$input.txt")
  local -a variants=(1 2 3)
  if [[ -n $baseline ]]; then variants+=(baseline); fi
  local v differ=""
  for v in "${variants[@]}"; do
    local -a cmd=(env TAGPRESS_THREADS="$v" "$tagpress")
    if [[ $v == baseline ]]; then cmd=("$baseline"); fi
    if ((have_time)); then cmd=(/usr/bin/time -f "%M %U %S" -o "$data/usage.txt" "${cmd[@]}"); fi
    rm -f "$hst"
    (cd "$data" && "${cmd[@]}" "$input.txt" "$@" >"$out.$v.out" 2>"$out.$v.err" </dev/null) ||
      fail "$name: ${cmd[*]} exited with status $?"
    if [[ $v != baseline ]]; then note_peak "$data/usage.txt"; fi
    mv "$hst" "$out.$v.HST"
    if [[ $v == 1 ]]; then
      check_record_count "$out.1.HST" "$lines"
      continue
    fi
    local what label="$v threads"
    if [[ $v == baseline ]]; then label=baseline; fi
    for what in HST out err; do
      if ! cmp -s "$out.1.$what" "$out.$v.$what"; then
        differ+=" $what ($label)"
        if [[ $v == baseline ]]; then same_baseline=0; else same_threads=0; fi
      fi
    done
  done
  local with="1, 2 and 3 threads"
  if [[ -n $baseline ]]; then with+=" and the baseline"; fi
  if [[ -n $differ ]]; then
    same_lines+=("  $name: DIFFERENT from the 1-thread run:$differ (files kept: $out.*)")
    return 0
  fi
  local sizes
  sizes=$(stat -c %s "$out.1.HST" "$out.1.out" "$out.1.err" | paste -sd+)
  same_lines+=("  $name: history file, standard output and standard error identical at $with ($sizes bytes)")
  rm -f "$out".*
}
echo "Comparing outputs at 1, 2 and 3 threads ..." >&2
same_outputs "fixed-8x$n1m" "$fixed"
same_outputs "delimited-8x$n1m" "$delim" /e
same_outputs "fixed-64x$n250k" fixed64_$l250k
same_outputs "fractions-8x$n1m" frac8_$l1m

# --- report ----------------------------------------------------------------
echo
echo "tagpress $(git -C "$root" describe --always --dirty 2>/dev/null || echo '?'), $runs runs each" \
  "($target_runs in the alternation behind the Targets), TZ=UTC, medians; $(nproc) CPUs," \
  "load average before the runs: $load_before"
echo
echo "| scenario | input MB | tagpress s | MB/s | lines/s | CPU s | peak RSS MiB | reference s |" \
  "speed ratio | baseline s | vs baseline |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${table_rows[@]}"
echo
awk -v a="${tp_time[fixed-8x$n4m]}" -v b="${tp_time[fixed-8x$n1m]}" \
  -v ca="${tp_cpu[fixed-8x$n4m]}" -v cb="${tp_cpu[fixed-8x$n1m]}" 'BEGIN {
  printf "time(%s) / time(%s) = %.2f wall", "4x lines", "1x lines", a / b
  if (cb + 0 > 0) printf ", %.2f CPU", ca / cb
  printf " (4.00 = linear)\n"
}'
awk -v p="${tp_time[pty-8x$n1m]}" -v f="${ref_time[pty-8x$n1m]}" 'BEGIN {
  printf "standard output on a pseudo-terminal: %.0f%% of the redirected throughput", 100 * f / p
  printf " (alternate runs: pty %.3f s, redirected %.3f s)\n", p, f
}'

awk -v one="${extra[t1]}" -v all="${extra[default]}" -v n="$threads_all" -v c0="${extra[core0]}" \
  -v b0="${extra[base_core0]:-}" -v rd="${extra[read]}" -v cp="${extra[copy]}" 'BEGIN {
  printf "fixed-8: 1 thread %.3f s, default (%d threads) %.3f s: scaling %.2fx\n", one, n, all, one / all
  printf "fixed-8 on one core (taskset -c 0): %.3f s", c0
  if (b0 != "") printf ", baseline %.3f s (%+.1f%%)", b0, 100 * (c0 - b0) / b0
  printf "\n"
  printf "I/O floor: read %.3f s + copy of the history file %.3f s = %.3f s;" \
    " tagpress (default threads, same alternation) %.3f s = %.2fx the floor\n", rd, cp, rd + cp,
    all, all / (rd + cp)
}'
awk -v d="$days" -v o="${extra[one]}" -v g="${extra[glob]}" -v x="${extra[xargs]}" \
  -v s="${extra[small]}" -v t="${extra[true]}" 'BEGIN {
  printf "%d daily files of 8640 lines (records checked equal): one file %.3f s, the glob %.3f s" \
    " (%.2fx), xargs -P2 one run per file %.3f s (%.2fx)\n", d, o, g, g / o, x, x / o
  printf "start of a process, 100 lines: %.2f ms, /bin/true %.2f ms (%.2fx)\n", s * 50, t * 50,
    s / t
}'
if [[ -n $baseline ]]; then
  awk -v t1="${extra[t1]}" -v b1="${extra[base_t1]}" -v d1="${extra[delim_t1]}" \
    -v bd1="${extra[base_delim_t1]}" -v t="${extra[default]}" -v b="${extra[base_default]}" 'BEGIN {
    printf "baseline, same alternation: fixed-8 1 thread %.3f s (tagpress %.3f s), delimited-8 1" \
      " thread %.3f s (tagpress %.3f s), fixed-8 default threads %.3f s (tagpress %.3f s)\n",
      b1, t1, bd1, d1, b, t
  }'
fi
echo
echo "Value readers (value_reader_bench, best pass of the best of 5 runs):"
while IFS= read -r line; do echo "  $line"; done <<<"$value_readers"

echo
echo "Output check (TZ=UTC, byte for byte):"
ok=1
compare_outputs "fixed-8x$n1m" fixed8_$l1m || ok=0
compare_outputs "delimited-8x$n1m" delim8_$l1m || ok=0
compare_outputs "fixed-64x$n250k" fixed64_$l250k || ok=0
if ((!ok)); then echo "bench: tagpress and the reference disagree; outputs kept in $data" >&2; fi
printf '%s\n' "${same_lines[@]}"
if ((!same_threads || !same_baseline)); then
  echo "bench: outputs differ between thread counts or from the baseline" >&2
  ok=0
fi

# --- targets ---------------------------------------------------------------
# target LABEL VALUE FORMAT RELATION LIMIT: one line of the Targets block; an
# empty VALUE (a figure that needs the baseline) reads "no baseline".
target() {
  awk -v label="$1" -v v="$2" -v fmt="$3" -v rel="$4" -v lim="$5" 'BEGIN {
    printf "  %-48s ", label ":"
    if (v == "") {
      printf "no baseline (target %s " fmt ")\n", rel, lim
      exit
    }
    met = rel == ">=" ? v >= lim : rel == "<=" ? v <= lim : v < lim
    printf fmt " (target %s " fmt "): %s\n", v, rel, lim, met ? "met" : "NOT met"
  }'
}
# ratio A B: A / B, or nothing when A is missing (no baseline).
ratio() { if [[ -n $1 ]]; then awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; fi; }
# target_same LABEL FLAG [NEEDS]: a Targets line for byte-identical outputs (FLAG 1);
# "no baseline" when NEEDS is given and empty.
target_same() {
  local state="yes (target: identical): met"
  if (($# > 2)) && [[ -z $3 ]]; then
    state="no baseline (target: identical)"
  elif (($2 != 1)); then
    state="no (target: identical): NOT met"
  fi
  printf '  %-48s %s\n' "$1:" "$state"
}

echo
echo "Targets:"
target "fixed-8, 1 thread, vs baseline" "$(ratio "${extra[base_t1]:-}" "${extra[t1]}")" \
  "%.2fx" ">=" 1.5
target "delimited-8 (/e), 1 thread, vs baseline" \
  "$(ratio "${extra[base_delim_t1]:-}" "${extra[delim_t1]}")" "%.2fx" ">=" 1.3
target "decimal-comma-8 / fixed-8, time" \
  "$(ratio "${tp_time[decimal-comma-8x$n1m]}" "${tp_time[fixed-8x$n1m]}")" "%.2fx" "<=" 1.3
target "blanks-8 (--blanks) / delimited-8 (/e), time" \
  "$(ratio "${tp_time[blanks-8x$n1m]}" "${tp_time[delimited-8x$n1m]}")" "%.2fx" "<=" 1.3
target "fixed-8, default threads, vs baseline" \
  "$(ratio "${extra[base_default]:-}" "${extra[default]}")" "%.2fx" ">=" 1.25
target "fixed-8, re-conversion over NAME.HST / fresh" "$(ratio "${extra[redo]}" "${extra[default]}")" \
  "%.2fx" "<=" 1.3
target "fixed-8, default threads, time / I/O floor" \
  "$(ratio "${extra[default]}" "$(awk -v r="${extra[read]}" -v c="${extra[copy]}" \
    'BEGIN { print r + c }')")" "%.2fx" "<=" 2
target "$days daily files, the glob / one file" "$(ratio "${extra[glob]}" "${extra[one]}")" \
  "%.2fx" "<=" 1.25
target "$days daily files, xargs -P2 / one file" "$(ratio "${extra[xargs]}" "${extra[one]}")" \
  "%.2fx" "<=" 2.5
target "100-line file / /bin/true, one process each" \
  "$(ratio "${extra[small]}" "${extra[true]}")" "%.2fx" "<=" 1.6
target "value reader, fixed width, common fields" "$(ns_per_value fixed-common)" \
  "%.2f ns/value" "<=" 5
printf '  %-48s %s ns/value (no target)\n' "value reader, fixed width, fallback fields:" \
  "$(ns_per_value fixed-fallback)"
printf '  %-48s %s ns/value (no target)\n' "value reader, delimited:" "$(ns_per_value delimited)"
if ((have_time)); then
  target "peak RSS of tagpress, all runs" \
    "$(awk -v k="$peak_rss_kib" 'BEGIN { print k / 1024 }')" "%.1f MiB" "<" 32
else
  printf '  %-48s n/a (no GNU time; target < 32 MiB)\n' "peak RSS of tagpress, all runs:"
fi
target_same "identical outputs at 1, 2 and 3 threads" "$same_threads"
target_same "identical outputs to the baseline" "$same_baseline" "$baseline"

((ok)) || exit 1
rm -f "$data"/*.HST "$data/stdout.txt" "$data/usage.txt"
