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
    exec xvfb-run -a dbus-run-session -- sh "$0" "$box" "$reader"
fi
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
kill "$shown" "$bus" 2>/dev/null || true
exit "$status"
