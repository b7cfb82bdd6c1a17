#!/bin/sh
# velloran-apply against the real unixODBC: a setup file of DRIVERS drivers
# (the setup library as their Setup=, a real driver file as their Driver=)
# and DATA_SOURCES system data sources added through the setup library,
# which unixODBC's SQLConfigDataSource loads. Each figure is the median of
# RUNS runs, with min and max, on tmpfs when /dev/shm is writable, headless
# (no DISPLAY), in a fresh ODBCSYSINI/ODBCINI/HOME:
#   - the first apply, on an empty configuration, a fresh one per run;
#   - velloran itself on the same file, a fresh configuration per run: the
#     same installer calls with no read-back and no report;
#   - --skip-unchanged, --check --skip-unchanged and --check on the
#     configuration the first apply put in place.
# A goal missed is printed as such; the bench fails (exit 1) only when a
# run does not do what it should, or the real ODBC files changed.
#
#   apply_bench.sh [-r RUNS] [-d DRIVERS] [-s DATA_SOURCES] [-f DRIVER_FILE]
#                  [VELLORAN_APPLY [VELLORAN [SETUP_LIBRARY]]]
#
# Defaults: 5 runs, 1000 drivers, 100 data sources, Debian's SQLite driver,
# and the programs and library of build/linux.
set -eu

runs=5
drivers=1000
sources=100
driver_file=
while getopts r:d:s:f: option; do
    case $option in
        r) runs=$OPTARG ;;
        d) drivers=$OPTARG ;;
        s) sources=$OPTARG ;;
        f) driver_file=$OPTARG ;;
        *) echo "usage: apply_bench.sh [-r RUNS] [-d DRIVERS] [-s DATA_SOURCES] [-f DRIVER_FILE]" \
            "[VELLORAN_APPLY [VELLORAN [SETUP_LIBRARY]]]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(dirname "$0")/../build/linux
apply=${1:-$build/bin/velloran-apply}
velloran=${2:-$build/bin/velloran}
setup=${3:-$build/setuplib/libvelloran-setup.so}

fail() { echo "apply_bench: $*" >&2; exit 1; }

for count in "$runs" "$drivers" "$sources"; do
    case $count in '' | *[!0-9]*) fail "not a count: '$count'" ;; esac
done
[ "$runs" -ge 1 ] && [ "$drivers" -ge 1 ] || fail "needs at least one run and one driver"
if [ -z "$driver_file" ]; then
    for file in /usr/lib/*/odbc/libsqlite3odbc.so; do driver_file=$file; done
fi
[ -f "$driver_file" ] || fail "no driver file '$driver_file' (Debian's libsqliteodbc, or -f)"
for program in "$apply" "$velloran"; do
    [ -x "$program" ] || fail "not a program: $program"
done
[ -f "$setup" ] || fail "no setup library: $setup"
# unixODBC loads the setup library by the path stored in Setup=.
case $setup in /*) ;; *) setup=$(pwd)/$setup ;; esac

# The machine's own ODBC files, which no run may touch.
real_files="/etc/odbcinst.ini /etc/odbc.ini ${HOME:-/nonexistent}/.odbc.ini"
fingerprint() {
    for file in $real_files; do
        if [ -e "$file" ]; then cksum "$file"; else echo "absent $file"; fi
    done
}
real_before=$(fingerprint)

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/velloran-apply-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

entries=$((drivers + sources))
setup_file=$work/setup.ini
awk -v n="$drivers" -v m="$sources" -v file="$driver_file" -v setup="$setup" \
    -v db="$work/bench.db" 'BEGIN {
    print "[Drivers]"
    for (i = 1; i <= n; i++)
        printf "Driver%d=Bench Driver %d\\0Driver=%s\\0Setup=%s\n", i, i, file, setup
    print "[Data Sources]"
    for (i = 1; i <= m; i++) {
        printf "DSDriver%d=Bench Driver %d\n", i, (i - 1) % n + 1
        printf "DSAttrib%d=DSN=Bench%d\\0Database=%s\\0Timeout=100\n", i, i, db
        printf "DSRequest%d=ODBC_ADD_SYS_DSN\n", i
    } }' >"$setup_file"

# A fresh configuration: Debian ships both files, empty.
fresh() {
    rm -rf "$1"
    mkdir -p "$1"
    : >"$1/odbcinst.ini"
    : >"$1/odbc.ini"
}

# Runs a program in the configuration $1, headless, its output in $work/out
# and $work/err, its status in $status and its time in ms appended to the
# file $2.
timed() {
    config=$1 times=$2
    shift 2
    start=$(date +%s.%N)
    if env -u DISPLAY -u ODBCINSTINI ODBCSYSINI="$config" ODBCINI="$config/user.ini" \
        HOME="$config" "$@" >"$work/out" 2>"$work/err"; then status=0; else status=$?; fi
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", (b - a) * 1000 }' >>"$times"
}

summary_ends() {
    tail -n 1 "$work/out" | grep -q "$1\$" ||
        fail "$2: the summary does not end \"$1\": $(tail -n 1 "$work/out")"
}

sections() { grep -c '^\[' "$1" || true; }

config_fingerprint() { cksum "$1/odbcinst.ini" "$1/odbc.ini"; }

printf 'apply_bench: %s, %d drivers and %d system data sources, %d runs each\n' \
    "$(date -u '+%Y-%m-%d %H:%M:%S UTC')" "$drivers" "$sources" "$runs"
printf 'load average at start: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"

# The first apply and velloran alternate, so that a change of load falls
# on both.
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    fresh "$work/first"
    timed "$work/first" "$work/t-first" "$apply" --quiet "$setup_file"
    [ "$status" -eq 0 ] || fail "first apply: exit status $status: $(cat "$work/out" "$work/err")"
    summary_ends "$entries entries, $entries changed, 0 failed" "first apply"
    [ "$(sections "$work/first/odbcinst.ini")" -eq "$drivers" ] &&
        [ "$(sections "$work/first/odbc.ini")" -eq "$sources" ] ||
        fail "first apply: the configuration does not hold $drivers drivers and $sources data sources"
    fresh "$work/velloran"
    timed "$work/velloran" "$work/t-velloran" "$velloran" "$setup_file"
    [ "$status" -eq 0 ] && [ ! -s "$work/err" ] ||
        fail "velloran: exit status $status: $(cat "$work/err")"
    cmp -s "$work/first/odbcinst.ini" "$work/velloran/odbcinst.ini" &&
        cmp -s "$work/first/odbc.ini" "$work/velloran/odbc.ini" ||
        fail "velloran and velloran-apply left different configurations"
done

# The configuration the last first apply put in place; no run below may
# change it.
in_place=$(config_fingerprint "$work/first")
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    timed "$work/first" "$work/t-skip" "$apply" --quiet --skip-unchanged "$setup_file"
    [ "$status" -eq 0 ] || fail "--skip-unchanged: exit status $status"
    summary_ends "$entries entries, 0 changed, 0 failed" "--skip-unchanged"
    timed "$work/first" "$work/t-check-skip" "$apply" --quiet --check --skip-unchanged "$setup_file"
    [ "$status" -eq 0 ] || fail "--check --skip-unchanged: exit status $status, expected 0"
    timed "$work/first" "$work/t-check" "$apply" --quiet --check "$setup_file"
    [ "$status" -le 1 ] || fail "--check: exit status $status: $(cat "$work/err")"
    [ "$(config_fingerprint "$work/first")" = "$in_place" ] ||
        fail "a run on the configuration in place changed it"
done

[ "$(fingerprint)" = "$real_before" ] || fail "the real ODBC files changed: $real_files"

# Median, min and max of each figure, then the table with the goals.
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    print m, v[1], v[NR] }'; }
{
    echo "first $(stats "$work/t-first")"
    echo "velloran $(stats "$work/t-velloran")"
    echo "skip $(stats "$work/t-skip")"
    echo "check-skip $(stats "$work/t-check-skip")"
    echo "check $(stats "$work/t-check")"
} | awk '
    { median[$1] = $2; low[$1] = $3; high[$1] = $4 }
    function row(name, label, base, baseLabel, goal,   ratio, verdict) {
        ratio = ""; verdict = ""
        if (base != "") {
            ratio = sprintf("%.2fx %s", median[name] / median[base], baseLabel)
            if (goal != "")
                verdict = sprintf("at most %.2fx: %s", goal,
                                  median[name] <= goal * median[base] ? "met" : "missed")
        }
        printf "%-32s %10.1f %10.1f %10.1f  %-24s %s\n", label, median[name], low[name],
               high[name], ratio, verdict
    }
    END {
        printf "%-32s %10s %10s %10s  %-24s %s\n", "figure (ms)", "median", "min", "max",
               "ratio", "goal"
        row("first", "first apply", "velloran", "of velloran", 1.1)
        row("velloran", "velloran, the same calls", "", "", "")
        row("skip", "--skip-unchanged, in place", "first", "of first apply", 0.1)
        row("check-skip", "--check --skip-unchanged", "first", "of first apply", 0.1)
        row("check", "--check, in place", "first", "of first apply", "")
    }'
printf 'load average at end: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
