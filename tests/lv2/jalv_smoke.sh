#!/usr/bin/env bash
# jalv under JACK's dummy backend loads each bundle, sets a control and loads a factory preset.
# Usage: jalv_smoke.sh <build folder>
set -u
build=$1
work=$(mktemp -d)
export JACK_DEFAULT_SERVER=tavik_lv2_test_$$
jackd --no-realtime -d dummy -r 48000 -p 256 > "$work/jack.log" 2>&1 &
jack=$!
cleanup() { kill "$jack" 2>/dev/null; wait "$jack" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/lv2"
ln -s "$build/Tavik_FullStack_v1_04.lv2" "$build/Tavik_PreAmp_v2.lv2" "$work/lv2/"
for _ in $(seq 50); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
status=0
check() {  # uri, control port index, symbol set, preset, symbol and value the preset gives
    local uri=$1 port=$2 symbol=$3
    # jalv reads the presets only once asked to list them.
    (printf 'presets\n'; sleep 0.5; printf 'set %s 1.0\n' "$port"; sleep 1; printf 'preset %s:preset:overdrive\n' "$uri"; sleep 1.5
     printf 'controls\n'; sleep 1) | LV2_PATH="$work/lv2" timeout 15 jalv "$uri" > "$work/out.log" 2>&1
    if ! grep -q "^> $symbol = 1.000000" "$work/out.log" || ! grep -q "^channel = 1.000000" "$work/out.log"; then
        echo "FAIL: $uri"; cat "$work/out.log"; status=1
    else
        echo "ok: $uri: $symbol set, preset Overdrive loaded"
    fi
}
check urn:mirad:lv2:tavik-fullstack-v1 13 drive2
check urn:mirad:lv2:tavik-preamp-v2 13 drive2
exit $status
