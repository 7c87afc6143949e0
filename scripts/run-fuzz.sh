#!/usr/bin/env bash
# Builds the libFuzzer harnesses with Clang, ASan and UBSan (preset "fuzz",
# build-fuzz/) and runs each one for a bounded time, starting from the committed seeds. A crash, a
# sanitizer report, a leak or a failed check stops that harness with an error
# and fails the script; the input that did it is kept under
# build-fuzz/artifacts/.
#
#   scripts/run-fuzz.sh [--plain] [seconds per harness, default 60]
#
# The harnesses of the small text helpers run a quarter of that: they reach
# their whole code within seconds. With --plain, the read harness alone, on
# the library built without the SSE2 code (preset "fuzz-plain",
# build-fuzz-plain/): the checks and decoding that other processors take.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build sanitize
preset=fuzz
if [ "${1:-}" = --plain ]; then
    preset=fuzz-plain
    shift
fi
seconds=${1:-60}
build=build-$preset
harnesses=(fuzz_fitdata_load:fitdata fuzz_nodedetail_load:nodedetail fuzz_xml_read:nodedetail
           fuzz_natural_order:order)
small=(fuzz_leading_number:number fuzz_numeric_text:numeric fuzz_three_values:threevalues
       fuzz_native_path:path fuzz_file_exists:exists fuzz_cstring:cstring
       fuzz_plain_file_name:filename)
if [ $preset = fuzz-plain ]; then
    harnesses=(fuzz_xml_read:nodedetail)
    small=()
fi

cmake --preset $preset >/dev/null
cmake --build --preset $preset

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for entry in "${harnesses[@]}" "${small[@]}"; do
    name=${entry%%:*}
    limit=$seconds
    [[ " ${small[*]} " != *" $entry "* ]] || limit=$(( (seconds + 3) / 4 ))
    seeds=fuzz/seeds/${entry##*:}
    dict=()
    [[ "$name" != *_load && "$name" != *_read ]] || dict=(-dict=fuzz/xml.dict)
    mkdir -p "$work/$name"
    start=$SECONDS
    # New inputs go to a scratch corpus; the committed seeds are only read.
    if "$build/fuzz/$name" "$work/$name" "$seeds" "${dict[@]}" \
        -max_total_time="$limit" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name-" >"$work/$name.log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
        edges=$(sed -n 's/.*DONE *cov: \([0-9]*\).*/\1/p' "$work/$name.log")
        echo "$name: passed, $runs executions in $((SECONDS - start)) s, $edges edges" \
             "covered, $(ls "$seeds" | wc -l) seeds and $(ls "$work/$name" | wc -l) new inputs"
    else
        echo "$name: FAILED" >&2
        tail -n 60 "$work/$name.log" >&2
        status=1
    fi
done
exit $status
