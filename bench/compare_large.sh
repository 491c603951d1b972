#!/usr/bin/env bash
# The large cases of vexo_bench, each in a process of its own, for two builds side by side:
# wall time and peak memory (maximum resident set) of each, and new as a fraction of old.
#   bench/compare_large.sh OLD/vexo_bench NEW/vexo_bench [TIMEOUT_SECONDS [CASE...]]
# A case that does not finish within the timeout (default 120 s), or whose generation fails (the
# memory error under the limit), is marked; its time and peak are those until it stopped. The
# address space of each run is limited to 12 GB so that an old build cannot take the machine.
set -uo pipefail
old=$1 new=$2 limit=${3:-120}
cases=(Large_V1LastKeyFar Large_V3LastKeyFar Large_V3Keys/10000 Large_V3Keys/80000
       Large_V3ShortWords100MB Large_ZeroParticlesLastFrame2p31/0 Large_ZeroParticlesLastFrame2p31/1
       Large_ReferencePerFrame/16777216 Large_ReferencePerFrame/2147483647)
if (($# > 3)); then cases=("${@:4}"); fi
measure() {  # binary case -> "seconds kilobytes [failed|timeout]"
  local out
  rm -f /tmp/vexo-compare.json
  out=$( (ulimit -v 12000000; /usr/bin/time -f "%e %M %x" timeout "$limit" "$1" --benchmark_filter="^BM_$2/iterations" \
          --benchmark_format=json >/tmp/vexo-compare.json) 2>&1 | tail -1)
  read -r s k x <<<"$out"
  if [[ $x == 124 ]]; then echo "$s $k timeout"; return; fi
  if [[ $x != 0 ]] || grep -q '"error_occurred": true' /tmp/vexo-compare.json; then echo "$s $k failed"; return; fi
  echo "$s $k"
}
printf '%-38s %12s %10s %12s %10s %9s %9s\n' case old_s old_MB new_s new_MB time_x mem_x
for c in "${cases[@]}"; do
  read -r os om of <<<"$(measure "$old" "$c")"
  read -r ns nm nf <<<"$(measure "$new" "$c")"
  ratio() { [[ $1 =~ ^[0-9.]+$ && $2 =~ ^[0-9.]+$ ]] && awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3g", (a>0?b/a:0)}' || echo -; }
  mb() { [[ ${1:-} =~ ^[0-9]+$ ]] && echo $(( $1 / 1024 )) || echo -; }
  printf '%-38s %12s %10s %12s %10s %9s %9s %s\n' "$c" "$os" "$(mb "${om:-}")" "$ns" "$(mb "${nm:-}")" \
    "$(ratio "$os" "$ns")" "$(ratio "${om:-}" "${nm:-}")" "${of:+old $of}${nf:+ new $nf}"
done
