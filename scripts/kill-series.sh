#!/usr/bin/env bash
# Ends builds with signals at random moments, as a closed terminal, a stopped
# service, a CI time-out or the OOM killer would, and counts what each one
# leaves behind and what is left after the next build in the same folders.
#
#   scripts/kill-series.sh [BUILD_DIR] [--runs=N] [--entries=E] [--seed=S]
#
# BUILD_DIR (default build) holds lexbuild and bench/make_wordlist. Each of
# the N runs (default 40) builds a generated list of E entries (default
# 20000, about 6 MB) over an earlier database of another list, and is ended
# by SIGINT, SIGTERM, SIGHUP and SIGKILL in turn: at a random moment of a
# build's time, or (every fifth run) as soon as the new database is being
# written beside the earlier one. A build of one's own runs alongside each
# one, in a work folder of its own but the same TMP, and must not notice.
# After each run: the bytes left in the work, temporary and output folders
# beyond what a good build leaves; whether the database is the earlier one
# or a whole new one. Then a next build in the same folders: what is left
# then, and whether its database equals a clean build's.
set -euo pipefail

build_dir=build
runs=40
entries=20000
seed=7
for arg in "$@"; do
  case $arg in
    --runs=*) runs=${arg#--runs=} ;;
    --entries=*) entries=${arg#--entries=} ;;
    --seed=*) seed=${arg#--seed=} ;;
    -*) echo "usage: scripts/kill-series.sh [BUILD_DIR] [--runs=N] [--entries=E] [--seed=S]" >&2
        exit 2 ;;
    *) build_dir=$arg ;;
  esac
done
lexbuild=$(realpath "$build_dir/lexbuild")
generate=$(realpath "$build_dir/bench/make_wordlist")
[ -x "$lexbuild" ] && [ -x "$generate" ] || {
  echo "kill-series: build lexbuild and make_wordlist in $build_dir first" >&2
  exit 2
}

root=$(mktemp -d "${TMPDIR:-/tmp}/kill-series.XXXXXX")
trap 'rm -rf "$root"' EXIT
work=$root/work        # TEMP of the builds that are killed
other=$root/other      # TEMP of the build that runs beside them
tmp=$root/tmp          # TMP of both
out=$root/out          # where the databases go
mkdir -p "$work" "$other" "$tmp" "$out" "$root/survivor"
"$generate" "$entries" "$seed" >"$root/earlier.tab"
"$generate" "$entries" $((seed + 1)) >"$root/new.tab"
cp "$root/new.tab" "$root/survivor/new.tab"

# A build of `list` into Dict.pdb in `dir` with TEMP=$2; prints nothing.
build() {  # dir temp list
  (cd "$1" && TEMP=$2 TMP=$tmp exec "$lexbuild" --id=Dict --infile="$3" >/dev/null 2>&1)
}
# The database without its two dates (bytes 36 to 43), which tell builds apart.
undated() { cmp -s <(head -c 36 "$1"; tail -c +45 "$1") <(head -c 36 "$2"; tail -c +45 "$2"); }
# Files, and their bytes, beyond what a good build leaves: the trace files
# in the work folder and the database in the output folder.
leftovers() {
  find "$work" "$tmp" "$out" -type f ! -path "$out/Dict.pdb" \
    ! -name _filter.txt ! -name _tableDebug.txt -printf '%s %p\n'
}
left_bytes() { leftovers | awk '{ s += $1 } END { print s + 0 }'; }
left_files() { leftovers | wc -l; }

# A build beside the others, in a work folder of its own but the same TMP;
# it is waited for before the folders are looked at.
start_survivor() {
  rm -f "$root/survivor/Dict.pdb"
  (cd "$root/survivor" && TEMP=$other TMP=$tmp exec "$lexbuild" --id=Dict --infile=new.tab \
     >/dev/null 2>&1) &
  survivor=$!
}
check_survivor() {
  if ! wait "$survivor" || ! undated "$root/survivor/Dict.pdb" "$root/new.pdb"; then
    survivor_wrong=$((survivor_wrong + 1))
  fi
}

start=$(date +%s.%N)
build "$out" "$work" "$root/new.tab"
clean_ms=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%d", (b - a) * 1000 }')
mv "$out/Dict.pdb" "$root/new.pdb"
build "$out" "$work" "$root/earlier.tab"
cp "$out/Dict.pdb" "$root/earlier.pdb"
[ "$(left_files)" -eq 0 ] || { echo "kill-series: a good build leaves files:" >&2; leftovers >&2; exit 1; }
echo "list: $entries entries, $(stat -c %s "$root/new.tab") bytes; a clean build takes $clean_ms ms"

signals=(INT TERM HUP KILL)
RANDOM=$seed
declare -A killed=() finished=() left_after=() left_next=() files_after=() files_next=()
kept_earlier=0 whole_new=0 damaged=0 bad_status=0 next_wrong=0 survivor_wrong=0 in_replacement=0
for ((run = 0; run < runs; ++run)); do
  sig=${signals[run % 4]}
  cp "$out/Dict.pdb" "$root/before.pdb"
  start_survivor
  # A shell ignores SIGINT in what it starts in the background: not in this.
  (cd "$out" && TEMP=$work TMP=$tmp exec env --default-signal=INT "$lexbuild" --id=Dict \
     --infile="$root/new.tab" >/dev/null 2>&1) &
  victim=$!
  if ((run % 5 == 4)); then
    # The moment the new database is written beside the earlier one.
    while kill -0 "$victim" 2>/dev/null && ! compgen -G "$out/.Dict.pdb.tmp*" >/dev/null; do :; done
    in_replacement=$((in_replacement + 1))
  else
    sleep "$(awk -v ms="$clean_ms" -v r="$RANDOM" 'BEGIN { printf "%.3f", ms * 1.1 * r / 32768 / 1000 }')"
  fi
  kill -s "$sig" "$victim" 2>/dev/null || true
  status=0
  { wait "$victim"; } 2>/dev/null || status=$?
  check_survivor

  if [ "$status" -eq 0 ]; then
    finished[$sig]=$((${finished[$sig]:-0} + 1))  # it ended before the signal came
  else
    killed[$sig]=$((${killed[$sig]:-0} + 1))
    [ "$status" -eq $((128 + $(kill -l "$sig"))) ] || bad_status=$((bad_status + 1))
  fi
  if cmp -s "$out/Dict.pdb" "$root/before.pdb"; then
    kept_earlier=$((kept_earlier + 1))
  elif undated "$out/Dict.pdb" "$root/new.pdb"; then
    whole_new=$((whole_new + 1))
  else
    damaged=$((damaged + 1))
  fi
  left_after[$sig]=$((${left_after[$sig]:-0} + $(left_bytes)))
  files_after[$sig]=$((${files_after[$sig]:-0} + $(left_files)))

  # The next build in the same folders, of the earlier list again.
  start_survivor
  build "$out" "$work" "$root/earlier.tab" || next_wrong=$((next_wrong + 1))
  check_survivor
  undated "$out/Dict.pdb" "$root/earlier.pdb" || next_wrong=$((next_wrong + 1))
  left_next[$sig]=$((${left_next[$sig]:-0} + $(left_bytes)))
  files_next[$sig]=$((${files_next[$sig]:-0} + $(left_files)))
  if [ "$(left_files)" -ne 0 ]; then
    echo "run $run ($sig): left after the next build:" >&2
    leftovers >&2
  fi
done

echo "runs: $runs ($in_replacement of them ended while the new database was being written)"
printf '%-8s %7s %9s %18s %18s\n' signal killed finished "left after (B/files)" "after next build"
for sig in "${signals[@]}"; do
  printf '%-8s %7d %9d %12d/%-5d %12d/%-5d\n' "SIG$sig" "${killed[$sig]:-0}" "${finished[$sig]:-0}" \
    "${left_after[$sig]:-0}" "${files_after[$sig]:-0}" "${left_next[$sig]:-0}" "${files_next[$sig]:-0}"
done
echo "database after the signal: earlier one intact $kept_earlier, whole new one $whole_new, damaged $damaged"
echo "exit status not 128+signal: $bad_status; next build wrong: $next_wrong;" \
  "build beside them (same TMP) disturbed: $survivor_wrong"
[ "$damaged" -eq 0 ] && [ "$bad_status" -eq 0 ] && [ "$next_wrong" -eq 0 ] && [ "$survivor_wrong" -eq 0 ]
