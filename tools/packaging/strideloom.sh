#!/bin/sh
# Starts Strideloom in a per-user working directory. The program opens its
# Resources/ (option file, model file, images) relative to the working
# directory and writes the option file there, which an installed, read-only
# location cannot offer: the first start copies Resources/ into
# ${XDG_DATA_HOME:-~/.local/share}/strideloom, later starts add only files
# that are new, so the user's options are kept.
set -e
bindir=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$bindir")
shared="$prefix/share/strideloom/Resources"
work="${STRIDELOOM_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/strideloom}"
first=0
[ -e "$work/Resources/config.xml" ] || first=1
mkdir -p "$work/Resources"
cp -Rn "$shared/." "$work/Resources/"
# Recordings go under the working directory unless the user chose a place;
# the program's own default lies beside it, in the read-only installation.
if [ $first = 1 ]; then
    sed -i "s#<OpConf name=\"savepath\" value=\"\"/>#<OpConf name=\"savepath\" value=\"$work/ExportData\"/>#" \
        "$work/Resources/config.xml"
    mkdir -p "$work/ExportData"
fi
cd "$work"
exec "$prefix/lib/strideloom/Strideloom" "$@"
