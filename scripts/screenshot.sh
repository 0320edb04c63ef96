#!/usr/bin/env bash
# Shows a file in the editor widget on a virtual X display (Xvfb) and saves a picture of
# the window, for people who review changes by eye:
#
#     scripts/screenshot.sh FILE OUT.png [kovex-view options...]
#
# The options are kovex-view's (--line-numbers, --show-all, --select A,B, --size WxH, ...).
# The widget is built first when it is not there yet. KVX_DISPLAY picks the display number
# (":93"); otherwise the first free one from :90 on is used.
set -euo pipefail

if (($# < 2)); then
    echo "usage: scripts/screenshot.sh FILE OUT.png [kovex-view options...]" >&2
    exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
file=$1
out=$2
shift 2

view="$root/build/editor/view/kovex-view"
if [[ ! -x "$view" ]]; then
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build" --target kovex-view
fi
command -v Xvfb >/dev/null || { echo "screenshot: Xvfb is not installed (scripts/setup.sh)" >&2; exit 1; }

display=${KVX_DISPLAY:-}
if [[ -z "$display" ]]; then
    for n in $(seq 90 150); do
        if [[ ! -e "/tmp/.X11-unix/X$n" && ! -e "/tmp/.X$n-lock" ]]; then
            display=":$n"
            break
        fi
    done
fi
[[ -n "$display" ]] || { echo "screenshot: no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
# The display is there once its socket is.
for _ in $(seq 50); do
    [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break
    sleep 0.1
done

# kovex-view saves the picture itself once the window is painted and highlighted.
DISPLAY=$display timeout 60 "$view" --screenshot "$out" "$@" "$file"
echo "screenshot: $out"
