#!/bin/sh
# screen_reader_bus.sh BOX READER: a screen reader (READER, Python with the
# AT-SPI bindings) reads the transcript of BOX over the real accessibility
# bus: a session bus of its own, the AT-SPI bus on it, and an X display
# (Xvfb) for the box, whose AT-SPI bridge needs one.
set -eu
box=$1
reader=$2
if [ "${IN_READER_SESSION:-}" != yes ]; then
    export IN_READER_SESSION=yes
    exec dbus-run-session -- sh "$0" "$box" "$reader"
fi
# Xvfb picks a free display itself and writes its number once it listens:
# guessing a free number first (xvfb-run -a) races with other X servers
# starting at the same time. It never resets: the AT-SPI bus launcher
# connects and leaves first, and a reset then would turn the box away.
number=$(mktemp)
trap 'rm -f "$number"' EXIT
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$number" >/dev/null 2>&1 &
xvfb=$!
waited=0
until grep -q . "$number"; do
    waited=$((waited + 1))
    if [ "$waited" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "Xvfb did not start"
        kill "$xvfb" 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$number")"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
# Under AddressSanitizer (make test-sanitize): xkbcommon reads the X
# keymap's names with strndup from buffers that are not NUL-terminated,
# which strict string checks take for an overflow; it is not ours.
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
    QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$box" &
shown=$!
status=0
/usr/bin/python3 "$reader" || status=$?
kill "$shown" "$bus" "$xvfb" 2>/dev/null || true
exit "$status"
