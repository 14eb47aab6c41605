#!/usr/bin/env bash
# make install and make uninstall, on this build tree and a temporary
# prefix: the programs run from there, the desktop entry and the systemd
# user unit of tavolin-headless (once it is built) are valid, the LV2 bundle
# (once built) goes to LV2_DIR, every relative
# link of the installed pages resolves, and the uninstall leaves no file
# behind.
# usage: install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The plugin's bundle goes where LV2_DIR says, here inside the prefix.
LV2_DIR=$prefix/lv2 bash "$source_dir/scripts/install" "$build" "$prefix" >/dev/null 2>&1 || fail "install failed"
expected="bin/tavolin
bin/tavolin-render
share/applications/tavolin.desktop
share/doc/tavolin/CONTRIBUTING.md
share/doc/tavolin/README.md
share/doc/tavolin/docs/ARCHITECTURE.md
share/doc/tavolin/docs/note-path.svg
share/doc/tavolin/docs/screenshot.png
share/icons/hicolor/scalable/apps/tavolin.svg"
if [ -x "$build/headless/tavolin-headless" ]; then
  expected=$(printf '%s\n' "$expected" bin/tavolin-headless share/doc/tavolin/headless.env \
    share/systemd/user/tavolin-headless.service | sort)
fi
if [ -f "$build/lv2-bundles/tavolin.lv2/tavolin.so" ]; then
  presets=$(cd "$source_dir/lv2/bundle" && ls presets/*.ttl | sed 's|^|lv2/tavolin.lv2/|')
  expected=$(printf '%s\n' "$expected" lv2/tavolin.lv2/manifest.ttl lv2/tavolin.lv2/tavolin.so \
    lv2/tavolin.lv2/tavolin.ttl lv2/tavolin.lv2/unison-state.ttl lv2/tavolin.lv2/LICENSE $presets | sort)
fi
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] || fail "installed files:
$installed"
"$prefix/bin/tavolin" --version | grep -q '^tavolin [0-9]' || fail "the installed tavolin does not run"
"$prefix/bin/tavolin-render" --version | grep -q '^tavolin-render [0-9]' || fail "the installed tavolin-render does not run"
desktop-file-validate "$prefix/share/applications/tavolin.desktop" || fail "desktop entry"
unit=$prefix/share/systemd/user/tavolin-headless.service
if [ -f "$unit" ]; then
  grep -qx "ExecStart=$prefix/bin/tavolin-headless \$TAVOLIN_HEADLESS_OPTIONS" "$unit" \
    || fail "the unit does not start the installed program"
  # verify also checks that ExecStart's program exists.
  systemd-analyze verify "$unit" || fail "systemd-analyze verify $unit"
fi
doc=$prefix/share/doc/tavolin
while IFS= read -r page; do
  for link in $(grep -o '](\([^)#:][^)#:]*\)' "$page" | cut -c3-); do
    [ -e "$(dirname "$page")/$link" ] || fail "${page#"$doc"/} links to $link, which is not installed"
  done
done < <(find "$doc" -name '*.md')

bash "$source_dir/scripts/uninstall" "$build" >/dev/null || fail "uninstall failed"
left=$(cd "$prefix" && find . -type f -o -type d -name tavolin -o -type d -name tavolin.lv2)
[ -z "$left" ] || fail "left after uninstall: $left"
echo PASS
