#!/usr/bin/env bash
# make install and make uninstall, on this build tree and a temporary
# prefix: the programs run from there, the desktop entry is valid, and the
# uninstall leaves no file behind.
# usage: install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$source_dir/scripts/install" "$build" "$prefix" >/dev/null 2>&1 || fail "install failed"
expected="bin/tavolin
bin/tavolin-render
share/applications/tavolin.desktop
share/doc/tavolin/README.md
share/icons/hicolor/scalable/apps/tavolin.svg"
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] || fail "installed files:
$installed"
"$prefix/bin/tavolin" --version | grep -q '^tavolin [0-9]' || fail "the installed tavolin does not run"
"$prefix/bin/tavolin-render" --version | grep -q '^tavolin-render [0-9]' || fail "the installed tavolin-render does not run"
desktop-file-validate "$prefix/share/applications/tavolin.desktop" || fail "desktop entry"

bash "$source_dir/scripts/uninstall" "$build" >/dev/null || fail "uninstall failed"
left=$(cd "$prefix" && find . -type f -o -type d -name tavolin)
[ -z "$left" ] || fail "left after uninstall: $left"
echo PASS
