#!/usr/bin/env bash
# Builds the Debian package and checks it: contents, dependencies that this
# Debian can satisfy, lintian (when installed), and a start of the unpacked
# program through its launcher under Xvfb.
#   scripts/package.sh            package into build/, then check
#   scripts/package.sh --clean-root   also install it into a throw-away
#                                 Debian 12 root (debootstrap; root and network
#                                 needed) and start it there under Xvfb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh release >/dev/null
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/strideloom_*.deb | head -n1)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/  \1:/p'

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/strideloom ./usr/bin/strideloom-cli ./usr/lib/strideloom/Strideloom \
         ./usr/lib/strideloom/libkvusb.so.0 ./usr/lib/strideloom/libSLDevice.so.0 ./usr/lib/strideloom/libkvplot2d.so.0 \
         ./usr/share/strideloom/Resources/config.xml ./usr/share/strideloom/Resources/stdBipedModel.mcc \
         ./usr/share/applications/strideloom.desktop ./usr/share/icons/hicolor/64x64/apps/strideloom.png \
         ./usr/lib/udev/rules.d/70-strideloom.rules ./usr/share/strideloom/translations/strideloom_en.qm \
         ./usr/share/strideloom/guide/strideloom-guide.html ./usr/share/strideloom/guide/docs/images/01-started.png; do
  grep -qx "$f" <<<"$contents" || { echo "missing in the package: $f" >&2; exit 1; }
done
if grep -q 'usbsim' <<<"$contents"; then echo "the USB simulator must not ship" >&2; exit 1; fi
echo "contents: complete"

# Every dependency resolvable on this system.
apt-get install --simulate --no-install-recommends "./$deb" >/dev/null && echo "dependencies: resolvable"
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$deb" || true
fi

# The unpacked tree runs: launcher, run path, resources.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
mkdir -p "$root/home"
set +e
HOME="$root/home" timeout 6 xvfb-run -a "$root/usr/bin/strideloom" >/dev/null 2>&1
rc=$?
set -e
[ $rc -eq 124 ] || { echo "the installed program ended early (status $rc)" >&2; exit 1; }
[ -f "$root/home/.local/share/strideloom/Resources/config.xml" ] || { echo "no per-user Resources" >&2; exit 1; }
LD_LIBRARY_PATH= "$root/usr/bin/strideloom-cli" --help >/dev/null
echo "unpacked program: starts through its launcher"

[ "${1:-}" = "--clean-root" ] || exit 0
command -v debootstrap >/dev/null || apt-get install -y --no-install-recommends debootstrap >/dev/null
clean=$(mktemp -d /tmp/strideloom-root.XXXXXX)
trap 'umount "$clean/proc" "$clean/dev" 2>/dev/null || true; rm -rf "$clean" "$root"' EXIT
# The machine's own apt sources name the archive (a fresh machine may use
# another mirror than this one).
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null | awk '$2 == "bookworm" {print $1; exit}')
[ -n "$mirror" ] || { echo "no bookworm archive in the apt sources (run apt-get update)" >&2; exit 1; }
debootstrap --variant=minbase bookworm "$clean" "$mirror" >/dev/null
cp "$deb" "$clean/tmp/"
mount -t proc proc "$clean/proc"
mount --bind /dev "$clean/dev"
chroot "$clean" /bin/sh -c "apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends /tmp/$(basename "$deb") xvfb xauth >/dev/null"
set +e
chroot "$clean" /bin/sh -c 'HOME=/root timeout 8 xvfb-run -a strideloom >/dev/null 2>&1'
rc=$?
set -e
[ $rc -eq 124 ] || { echo "the program ended early in the clean root (status $rc)" >&2; exit 1; }
[ -f "$clean/root/.local/share/strideloom/Resources/config.xml" ] || { echo "no per-user Resources in the clean root" >&2; exit 1; }
echo "clean Debian 12 root: installed with its dependencies and started"
