#!/bin/sh
# Checks the Debian packages of Tapwire that `make package` built, named by
# their .changes file: lintian finds no errors or warnings in the source or
# the binary packages; the binary package says of itself what the program
# says (its AppStream metadata, which it ships, is generated from the
# identity record): version, synopsis, description, home page and maker; it
# depends on what the program needs besides its libraries; and it ships
# exactly the files it should. Its tests against the installed package are
# in debian/tests, run by autopkgtest.
#
# Usage: tests/package/check_package.sh tapwire_VERSION_ARCH.changes
set -eu

changes=$1
deb=$(dirname "$changes")/$(grep -o ' tapwire_[^ ]*\.deb$' "$changes" | sort -u | tr -d ' ')
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

fail() {
    echo "$*"
    exit 1
}

echo "lintian $changes"
lintian --fail-on error,warning --display-info --pedantic "$changes"

dpkg -x "$deb" "$root"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
# The text of one element of the metadata, which writes each on a line.
element() {
    sed -n "s|.*<$1\( [^>]*\)\{0,1\}>\(.*\)</$1>.*|\2|p" "$metainfo" |
        sed 's/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g' | tr -s ' '
}
field() {
    dpkg-deb -f "$deb" "$1"
}
same() {
    [ "$2" = "$3" ] || fail "$1: the package says \"$2\", the program \"$3\""
    echo "$1: $2"
}
release=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo")
same Version "$(field Version)" "$release"
same Synopsis "$(field Description | head -n 1)" "$(element summary)"
same Description "$(field Description | sed '1d; s/^ //' | tr '\n' ' ' | tr -s ' ' | sed 's/ $//')" \
    "$(element p)"
same Homepage "$(field Homepage)" "$(element url)"
same Maintainer "$(field Maintainer)" "$(element developer_name) <$(element update_contact)>"

for dependency in fonts-liberation2 fonts-freefont-ttf ca-certificates libssl3; do
    field Depends | grep -qw "$dependency" || fail "Depends lacks $dependency"
done

id=$(element id)
expected=$(
    {
        echo ./usr/bin/tapwire
        echo "./usr/share/applications/$id.desktop"
        echo ./usr/share/doc/tapwire/changelog.gz
        echo ./usr/share/doc/tapwire/copyright
        for size in 16 32 64 128 256; do
            echo "./usr/share/icons/hicolor/${size}x$size/apps/$id.png"
        done
        echo ./usr/share/man/man1/tapwire.1.gz
        echo "./usr/share/metainfo/$id.metainfo.xml"
    } | sort
)
shipped=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[ "$shipped" = "$expected" ] || fail "the package ships:
$shipped
instead of:
$expected"
echo "package OK: $(basename "$deb")"
