#!/usr/bin/env bash
# Runs the real vexo-cli on a long generation, sends it SIGINT, and checks that it stops with
# status 130, says how many objects it kept, and leaves only complete object blocks (or, stopped
# before the first one, no file at all) and no temporary file.
set -u
cli=$1
data=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

"$cli" --engine reference --object p.lwo --motion "$data/emitter_v1.mot" --scene "$dir/s.lws" \
    --set num_particles=4000 --set particles_per_frame=20 --set velocity=1 --set linear_path=off \
    --set last_frame=200 2>"$dir/err" &
pid=$!
# The scene is written beside the target (a hidden temporary file) and renamed at the end.
for _ in $(seq 100); do
    ls -A "$dir" | grep -q '^\.s\.lws\.' && break
    sleep 0.05
done
sleep 0.3
kill -INT "$pid"
wait "$pid"
status=$?

fail() { echo "FAIL: $*"; cat "$dir/err"; exit 1; }
[ "$status" -eq 130 ] || fail "exit status $status, expected 130"
if grep -q "^vexo-cli: interrupted before the first object: $dir/s.lws was not touched$" "$dir/err"; then
    [ ! -e "$dir/s.lws" ] || fail "a scene was left although no object was complete"
    echo "PASS: interrupted before the first object"
    exit 0
fi
grep -Eq "^vexo-cli: interrupted: $dir/s.lws holds [0-9]+ of 4000 objects$" "$dir/err" || fail "message"
kept=$(sed -E -n 's/.* holds ([0-9]+) of 4000 objects$/\1/p' "$dir/err")
blocks=$(grep -c '^ShadowOptions 2$' "$dir/s.lws")
[ "$blocks" -eq "$kept" ] || fail "$blocks blocks in the file, $kept reported"
[ "$(tail -c 17 "$dir/s.lws")" = "$(printf 'ShadowOptions 2\n\n')" ] || [ "$kept" -eq 0 ] || fail "file does not end with a complete block"
[ "$(ls -A "$dir" | grep -c '^\.s\.lws\.')" -eq 0 ] || fail "a temporary file was left"
echo "PASS: interrupted after $kept complete objects"

# The same for a binary glTF: the particles complete at the break make a whole file, and the
# temporary files beside it are gone.
rm -f "$dir/s.lws" "$dir/err"
"$cli" --engine reference --object p.lwo --motion "$data/emitter_v1.mot" --scene "$dir/s.glb" \
    --set num_particles=4000 --set particles_per_frame=20 --set velocity=1 --set linear_path=off \
    --set last_frame=200 --progress-lines >"$dir/lines" 2>"$dir/err" &
pid=$!
# The scene is measured before it is written: the break comes once objects are being written.
for _ in $(seq 600); do
    grep -q '^progress [1-9]' "$dir/lines" && break
    sleep 0.05
done
kill -INT "$pid"
wait "$pid"
status=$?
rm -f "$dir/lines"
[ "$status" -eq 130 ] || fail "glb: exit status $status, expected 130"
grep -Eq "^vexo-cli: interrupted: $dir/s.glb holds [0-9]+ of 4000 objects$" "$dir/err" || fail "glb: message"
[ "$(ls -A "$dir")" = "$(printf 'err\ns.glb')" ] || fail "glb: stray files: $(ls -A "$dir")"
[ "$(head -c 4 "$dir/s.glb")" = "glTF" ] || fail "glb: not a binary glTF"
[ "$(stat -c %s "$dir/s.glb")" -eq "$(od -An -tu4 -j8 -N4 "$dir/s.glb" | tr -d ' ')" ] || fail "glb: length field"
echo "PASS: binary glTF interrupted cleanly"

# A point cache stopped by Ctrl-C writes nothing: the old files at both names keep their bytes
# and no temporary file is left.
rm -f "$dir"/* "$dir"/.[!.]*
printf 'old cache' > "$dir/c.pc2"
printf 'old object' > "$dir/c.obj"
"$cli" --object p.lwo --motion "$data/emitter_v1.mot" --scene "$dir/c.pc2" --set num_particles=20000 \
    --set particles_per_frame=200 --set velocity=1 --set linear_path=off --set last_frame=3000 2>"$dir/err" &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "cache: exit status $status, expected 130"
grep -q "^vexo-cli: interrupted: $dir/c.pc2 and $dir/c.obj were not touched$" "$dir/err" || fail "cache: message"
[ "$(cat "$dir/c.pc2")" = "old cache" ] && [ "$(cat "$dir/c.obj")" = "old object" ] || fail "cache: old files changed"
[ "$(ls -A "$dir")" = "$(printf 'c.obj\nc.pc2\nerr')" ] || fail "cache: stray files: $(ls -A "$dir")"
echo "PASS: point cache interrupted cleanly"
