#!/bin/sh
# Checks a Debian package of Tapwire the way a user would meet it: lintian
# finds no errors or warnings in it, and the program unpacked from it starts
# on an X display (Xvfb) and shows its window, captioned "Tapwire" and
# carrying the window class that the package's desktop entry names.
#
# Usage: tests/package/check_package.sh tapwire_VERSION_ARCH.deb
set -eu

deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "lintian $deb"
lintian --fail-on error,warning "$deb"

dpkg -x "$deb" "$root"
for font in fonts-liberation2 fonts-freefont-ttf; do
    dpkg-deb -f "$deb" Depends | grep -qw "$font" || { echo "Depends lacks $font"; exit 1; }
done
entry=$(ls "$root"/usr/share/applications/*.desktop)
class=$(sed -n 's/^StartupWMClass=//p' "$entry")
exec_name=$(sed -n 's/^Exec=//p' "$entry")
[ -n "$class" ] && [ -x "$root/usr/bin/$exec_name" ] || { echo "bad desktop entry $entry"; exit 1; }

# Runs inside the X display: starts the program and waits up to 20 s for
# its window. xwininfo shows a window as: 0x... "caption": ("instance" "class").
cat > "$root/window.sh" <<'INNER'
program=$1 class=$2 log=$3
"$program" > "$log" 2>&1 &
pid=$!
found=""
for _ in $(seq 100); do
    if xwininfo -root -tree | grep -qF "\"Tapwire\": (\"$(basename "$program")\" \"$class\")"; then
        found=yes
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ -n "$found" ]
INNER
echo "starting $root/usr/bin/$exec_name under Xvfb"
if ! env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh "$root/window.sh" "$root/usr/bin/$exec_name" "$class" "$root/program.log"; then
    echo "no window captioned Tapwire with class $class appeared; the program said:"
    cat "$root/program.log"
    exit 1
fi
echo "package OK: $(basename "$deb")"
