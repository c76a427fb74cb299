#!/usr/bin/env bash
# Takes the README's pictures of the program's windows: the program runs on
# a private X server with a window manager against the virtual instrument on
# a freshly prepared demonstration folder, and is played with real clicks and
# keys. Run it again after changing a window.
#
#   scripts/screenshots.sh [OUT_DIR]      (default: docs/screenshots)
#
#   needs: xvfb openbox xdotool imagemagick (installed when missing)
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
OUT="$(realpath -m "${1:-$ORBA_ROOT/docs/screenshots}")"

ORBA_PACKAGES="$ORBA_PACKAGES xvfb openbox xdotool imagemagick"
orba_install_packages
unset QT_QPA_PLATFORM
cmake -S "$ORBA_ROOT" -B "$ORBA_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ORBA_ROOT/build" --target orba vinst orba_prepare_demo

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# A private X server and a window manager.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
openbox >"$work/wm.log" 2>&1 &
pids+=($!)

# The prepared demonstration folder, the virtual instrument and the program,
# started in a home folder of its own as the desktop menu starts it.
export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
demo="$HOME/Documents/OrbA"
"$ORBA_ROOT/build/vinst/orba_prepare_demo" "$demo"
"$ORBA_ROOT/build/vinst/vinst" --dir "$demo" --port COM1 --memory "$demo/instrument.mem" &
pids+=($!)
for _ in $(seq 100); do [ -e "$demo/COM1" ] && break; sleep 0.1; done
(cd "$HOME" && exec "$ORBA_ROOT/build/orba" --port COM1) >"$work/orba.log" 2>&1 &
pids+=($!)

# The id of the visible window whose title matches the pattern, once it is there.
window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "screenshots: no window \"$1\"" >&2
    cat "$work/orba.log" >&2
    return 1
}
# Clicks at X,Y of a window's inside.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.5; }
keys() { xdotool key --delay 80 "$@"; sleep 0.5; }
# Saves a window with its frame; waits for the screen to settle first.
shot() {
    sleep "${3:-1}"
    import -silent -frame -window "$1" -colors 256 "PNG8:$OUT/$2.png"
    echo "screenshot: $OUT/$2.png"
}

# Tool buttons of the main window, by their centres.
tool() { click "$main" $((33 + 50 * $1)) 52; }

mkdir -p "$OUT"
main=$(window "^Орбиск 7м$")
shot "$main" main-window 2

# "Шаг" reads today's tests after those of the folder; the window brings
# the last tests into view itself.
tool 1
results=$(window "^Результаты  тестов$")
click "$results" 728 111
sleep 3
shot "$results" results
keys Escape

tool 2
stat=$(window "^Статистика$")
click "$stat" 253 25
shot "$stat" statistics
keys Escape

tool 3
lists=$(window "^Списки  тестируемых$")
shot "$lists" lists
keys Escape

# "Прибор" -> "Подключение": the panel connects as it opens.
click "$main" 25 10
keys Down Return
panel=$(window "^Прибор: ")
shot "$panel" panel 3
keys Escape

# The service window behind its code: connected, the alcohol sensor's table
# and its live view.
tool 4
service=$(window "^Наладка$")
xdotool type --delay 80 583729
click "$service" 158 142
sleep 3
click "$service" 133 81
click "$service" 418 385
shot "$service" service 4
click "$service" 488 385

# "Сенсор давления" -> "Контроль объема выдоха".
click "$service" 265 81
click "$service" 107 363
volume=$(window "^Объем  выдоха$")
shot "$volume" breath-volume 6
