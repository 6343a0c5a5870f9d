#!/usr/bin/env bash
# Whole-process figures for a large mailing through the command line, beside a
# Python script that only parses the same CSV into dicts: wall time and peak
# resident memory (/usr/bin/time), the median of several runs, at each size.
# It builds nothing; give it a Release command line (and, to compare, an older
# one built the same way):
#
#   bench/million.sh [--runs N] [--sizes "100000 1000000"] [--data DIR] CLI [OLD-CLI]
#
# Rows are made by the deterministic generator below (email, first, last, city,
# code, names with accents) and kept in DIR between runs.
set -euo pipefail

runs=3
sizes="100000 1000000"
data="${TMPDIR:-/tmp}/quillcast-million"
while (($#)); do
    case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --sizes) sizes="$2"; shift 2 ;;
    --data) data="$2"; shift 2 ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
    *) break ;;
    esac
done
(($# >= 1 && $# <= 2)) || { sed -n '2,11p' "$0" >&2; exit 2; }
clis=("$(realpath "$1")")
labels=(new)
if (($# == 2)); then
    clis=("$(realpath "$2")" "${clis[0]}")
    labels=(old new)
fi
python=${PYTHON:-python3}
[[ -x /usr/bin/time ]] || { echo "million.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
mkdir -p "$data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

generate() { # OUT ROWS
    "$python" - "$1" "$2" <<'PY'
import sys, random
out, n = sys.argv[1], int(sys.argv[2]); r = random.Random(42)
first = ["Ann","Bob","Carla","Dmitri","Élodie","Fatima","Giulia","Hiro","Ines","José"]
last = ["Rossi","Müller","Smith","Nguyen","García","Kowalski","Dubois","Sato","Silva","O'Neil"]
city = ["Rome","Paris","São Paulo","Zürich","Kraków","Tokyo","Lagos","Austin","Cork","Oslo"]
with open(out, "w", encoding="utf-8", newline="") as f:
    f.write("email,first,last,city,code\n")
    for i in range(n):
        fi, la = r.choice(first), r.choice(last)
        f.write(",".join(["%s.%s%d@example%d.com" % (fi.lower(), la.lower().replace("'", ""), i, i % 97),
                          fi, la, r.choice(city), "%06d" % r.randrange(10**6)]) + "\n")
PY
}

# One timed run: prints "SECONDS KIB USER SYSTEM" (the wall time to the
# tenth of a millisecond); the command's own output is dropped.
timed() {
    local out start end
    start=$EPOCHREALTIME
    out=$( { /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >/dev/null 2>"$work/err"; } 2>&1) || {
        echo "million.sh: failed: $*" >&2
        cat "$work/err" >&2
        exit 1
    }
    end=$EPOCHREALTIME
    # time's own wall figure has 10 ms steps: too coarse for a small mailing.
    awk -v s="$start" -v e="$end" '{ printf "%.4f %s %s %s\n", e - s, $2, $3, $4 }' "$work/time"
}

# Median of the runs of one step by wall time: "SECONDS MIB CPU-SECONDS" (CPU
# time, user and system, tells more than the wall time on a busy machine).
# PREPARE runs untimed before each.
median() { # PREPARE-FUNCTION COMMAND...
    local prepare="$1"; shift
    local i samples=()
    for ((i = 0; i < runs; i++)); do
        "$prepare"
        samples+=("$(timed "$@")")
    done
    printf '%s\n' "${samples[@]}" | sort -n -k1,1 | sed -n "$(((runs + 1) / 2))p" \
        | awk '{ printf "%.3f %.0f %.2f\n", $1, $2 / 1024, $3 + $4 }'
}

nothing() { :; }

for n in $sizes; do
    csv="$data/rows$n.csv"
    [[ -s "$csv" ]] || generate "$csv" "$n"
    echo "== $n rows ($(du -m "$csv" | cut -f1) MB CSV), median of $runs"
    printf '%-34s %8s %8s %8s\n' "" "wall s" "peak MiB" "CPU s"
    peer=$(median nothing "$python" -c 'import csv,sys; print(len(list(csv.DictReader(open(sys.argv[1], newline="", encoding="utf-8")))))' "$csv")
    printf '%-34s %8s %8s %8s\n' "python csv.DictReader (parse only)" $peer
    for c in "${!clis[@]}"; do
        cli=${clis[$c]}
        m="$work/m.quill"
        fresh() { rm -f "$m"; "$cli" new "$m" >/dev/null; }
        keep() { :; }
        # The other steps work on a copy of one import, so that each run starts
        # from the same file.
        import=$(median fresh "$cli" import "$m" "$csv")
        cp "$m" "$work/base.quill"
        cp "$m" "$work/base-$c.quill"
        # Put back as a save leaves it: written in large pieces. A copy made by
        # cp (copy_file_range) is held by the file cache differently, and on
        # the machine this was tuned on both the open and the save of such a
        # copy were several tenths of a second slower, for any build.
        restore() { dd if="$work/base.quill" of="$m" bs=2M status=none; }
        show=$(median keep "$cli" show "$m")
        save=$(median restore "$cli" set "$m" sendPrepTimeInterval=2)
        renumber=$(median restore "$cli" renumber "$m")
        dup=$(median restore "$cli" check "$m" duplicate)
        export=$(median keep "$cli" export "$m" "$work/out.csv" --format csv)
        size=$(du -m "$work/base.quill" | cut -f1)
        pw=${peer%% *}
        echo "-- ${labels[$c]}: $cli (mailing $size MB)"
        for row in "import (incl. save):$import" "show (open + summary):$show" "set (open + save):$save" \
            "renumber (open + walk + save):$renumber" "check duplicate (open+check+save):$dup" \
            "export --format csv:$export"; do
            name=${row%%:*}; fig=${row#*:}
            printf '%-34s %8s %8s %8s   %s of the Python parse\n' "$name" $fig \
                "$(awk -v a="${fig%% *}" -v b="$pw" 'BEGIN { printf "%.0f %%", (b > 0 ? 100 * a / b : 0) }')"
        done
        eval "fig_${c}_$n=\"\$import \$show \$save \$renumber \$dup \$export\""
    done
    # The stored form is fixed: both save the same mailing to the same bytes.
    if ((${#clis[@]} == 2)); then
        for c in 0 1; do
            cp "$work/base-0.quill" "$work/resave-$c.quill"
            "${clis[$c]}" set "$work/resave-$c.quill" sendPrepTimeInterval=2 >/dev/null
        done
        if cmp -s "$work/resave-0.quill" "$work/resave-1.quill"; then
            echo "-- re-save of the old import: the same bytes from both"
        else
            echo "million.sh: the re-saves of the same mailing differ" >&2
            exit 1
        fi
        rm -f "$work"/resave-*.quill "$work"/base-*.quill
    fi
done

# Linear scaling: each step's wall time at the largest size over the smallest,
# beside the ratio of the sizes.
set -- $sizes
if (($# >= 2)); then
    small=$1; large=${!#}
    echo "== scaling $small -> $large rows (sizes x$((large / small)); time ratio per step)"
    for c in "${!clis[@]}"; do
        eval "a=(\$fig_${c}_$small)"; eval "b=(\$fig_${c}_$large)"
        line="-- ${labels[$c]}:"
        i=0
        for step in import show set renumber check export; do
            line+=" $step x$(awk -v x="${b[$i]}" -v y="${a[$i]}" 'BEGIN { printf "%.1f", (y > 0 ? x / y : 0) }')"
            i=$((i + 3))
        done
        echo "$line"
    done
fi
