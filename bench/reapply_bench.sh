#!/bin/sh
# Re-applying a setup file that is already in place: velloran-apply's first
# apply of N drivers against the real unixODBC, then the same file again
# with --skip-unchanged, which reads the live configuration instead of
# writing it. Prints both times and their ratio (goal: at most 0.1).
#
#   reapply_bench.sh VELLORAN_APPLY [N ...]      (default N: 100 1000)
set -eu
apply=$1
shift
[ $# -gt 0 ] || set -- 100 1000
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/velloran-reapply-XXXXXX")
trap 'rm -rf "$work"' EXIT

seconds() { date +%s.%N; }

printf '%8s %12s %16s %8s\n' drivers "first apply" "skip-unchanged" ratio
for n in "$@"; do
    config=$work/config-$n
    mkdir -p "$config"
    # Debian ships both files, empty.
    : >"$config/odbcinst.ini"
    : >"$config/odbc.ini"
    awk -v n="$n" 'BEGIN { print "[Drivers]"
        for (i = 1; i <= n; i++)
            printf "Driver%d=Bench Driver %d\\0Driver=/opt/bench/%d.so\\0Setup=/opt/bench/setup%d.so\n", i, i, i, i }' \
        >"$work/drivers-$n.ini"
    run() {
        env -u DISPLAY ODBCSYSINI="$config" ODBCINI="$config/user.ini" HOME="$config" \
            "$apply" --quiet "$@" "$work/drivers-$n.ini"
    }
    start=$(seconds)
    run >/dev/null
    middle=$(seconds)
    summary=$(run --skip-unchanged)
    end=$(seconds)
    case "$summary" in
        *"$n entries, 0 changed, 0 failed"*) ;;
        *) echo "reapply_bench: unexpected re-apply: $summary" >&2; exit 1 ;;
    esac
    awk -v n="$n" -v a="$start" -v b="$middle" -v c="$end" 'BEGIN {
        first = b - a; again = c - b
        printf "%8d %10.0f ms %14.0f ms %7.2fx\n", n, first * 1000, again * 1000, again / first }'
done
echo "goal: re-apply at most 0.10x of the first apply at 1,000 drivers; load average $(cut -d' ' -f1-3 /proc/loadavg)"
