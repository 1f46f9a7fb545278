#!/usr/bin/env bash
# Installs the build into a private folder as a package would (prefix /usr,
# DESTDIR) and checks the tree and its desktop files with the desktop's own
# validators.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
id=org.vornholt.Quorvel
for f in usr/bin/quorvel usr/bin/quorvel-cli usr/share/applications/$id.desktop \
         usr/share/metainfo/$id.metainfo.xml usr/share/icons/hicolor/scalable/apps/$id.svg \
         usr/share/doc/quorvel/copyright; do
  [ -e "$root/$f" ] || { echo "missing: $f"; exit 1; }
done
[ -x "$root/usr/bin/quorvel" ] || { echo "quorvel is not executable"; exit 1; }
grep -qx 'Exec=quorvel %f' "$root/usr/share/applications/$id.desktop"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop"
# Docks group the window with this entry: on X11 by its WM_CLASS, whose class
# Qt takes from the application name; on Wayland by the desktop file name.
grep -qx "StartupWMClass=The File Quorvel" "$root/usr/share/applications/$id.desktop"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
echo "install tree valid"
