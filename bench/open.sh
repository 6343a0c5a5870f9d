#!/usr/bin/env bash
# The open of existing mailings through the command line, beside an older
# build: wall time, CPU time and peak resident memory (/usr/bin/time), the
# median of several runs, for show (open and a summary) and export --format
# csv, at each mailing given, and how the figures grow from the first mailing
# to the last. It builds nothing and makes no mailings (bench/million.sh
# imports them):
#
#   bench/open.sh [--runs N] CLI [OLD-CLI] -- MAILING...
set -euo pipefail

runs=3
while (($#)); do
    case "$1" in
    --runs) runs="$2"; shift 2 ;;
    -h | --help) sed -n '2,9p' "$0"; exit 0 ;;
    *) break ;;
    esac
done
clis=()
while (($#)) && [[ "$1" != "--" ]]; do clis+=("$(realpath "$1")"); shift; done
(($# >= 2)) && ((${#clis[@]} >= 1 && ${#clis[@]} <= 2)) || { sed -n '2,9p' "$0" >&2; exit 2; }
shift
mailings=("$@")
labels=(new)
if ((${#clis[@]} == 2)); then
    clis=("${clis[1]}" "${clis[0]}")
    labels=(old new)
fi
[[ -x /usr/bin/time ]] || { echo "open.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Median by wall time of the runs of one command: "WALL CPU MIB".
median() {
    local i samples=()
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
            echo "open.sh: failed: $*" >&2
            cat "$work/err" >&2
            exit 1
        }
        samples+=("$(cat "$work/time")")
    done
    printf '%s\n' "${samples[@]}" | sort -n -k1,1 | sed -n "$(((runs + 1) / 2))p" \
        | awk '{ printf "%.2f %.2f %.0f\n", $1, $2 + $3, $4 / 1024 }'
}

printf '%-6s %-40s %-7s %8s %8s %9s\n' "" mailing step "wall s" "CPU s" "peak MiB"
for m in "${mailings[@]}"; do
    # The runs of the builds alternate, so that both see the same load.
    for c in "${!clis[@]}"; do
        cli=${clis[$c]}
        show=$(median "$cli" show "$m")
        export=$(median "$cli" export "$m" "$work/out.csv" --format csv)
        printf '%-6s %-40s %-7s %8s %8s %9s\n' "${labels[$c]}" "$(basename "$m")" show $show
        printf '%-6s %-40s %-7s %8s %8s %9s\n' "${labels[$c]}" "$(basename "$m")" export $export
        eval "fig_${c}_$(basename "$m" | tr -c 'a-zA-Z0-9\n' _)=\"\$show \$export\""
    done
done

if ((${#mailings[@]} >= 2)); then
    first=$(basename "${mailings[0]}" | tr -c 'a-zA-Z0-9\n' _)
    last=$(basename "${mailings[-1]}" | tr -c 'a-zA-Z0-9\n' _)
    ratio=$(awk -v a="$(stat -c %s "${mailings[-1]}")" -v b="$(stat -c %s "${mailings[0]}")" 'BEGIN { printf "%.1f", a / b }')
    echo "== growth from the first mailing to the last (files x$ratio): CPU time and peak memory"
    for c in "${!clis[@]}"; do
        eval "a=(\$fig_${c}_$first)"; eval "b=(\$fig_${c}_$last)"
        awk -v l="${labels[$c]}" -v s1="${a[1]}" -v s2="${b[1]}" -v m1="${a[2]}" -v m2="${b[2]}" \
            -v e1="${a[4]}" -v e2="${b[4]}" 'BEGIN {
                printf "-- %s: show CPU x%.1f, peak x%.1f; export CPU x%.1f\n", l, s2 / s1, m2 / m1, e2 / e1 }'
    done
fi
