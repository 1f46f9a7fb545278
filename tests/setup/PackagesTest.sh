#!/usr/bin/env bash
# What ./build.sh installs for each command, and how, with dpkg-query, id,
# sudo, apt-get and cmake played by stand-ins on a PATH of their own:
#   PackagesTest.sh BUILD_SH
set -uo pipefail
script=$1
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env dirname cat; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
# Every package counts as installed but those in ABSENT ("all": none is).
printf '#!/bin/bash\nfor p; do :; done\n[ "$ABSENT" != all ] && [[ " $ABSENT " != *" $p "* ]] || exit 1\nprintf "install ok installed"\n' >"$bin/dpkg-query"
printf '#!/bin/bash\necho "$FAKE_UID"\n' >"$bin/id"
printf '#!/bin/bash\necho "${0##*/} $*" >>"$LOG"\n' >"$bin/apt-get"
printf '#!/bin/bash\necho "cmake" >>"$LOG"; exit 3\n' >"$bin/cmake"
chmod +x "$bin"/*
test_only="libgtest-dev par2 wine64 g++-mingw-w64-x86-64-posix desktop-file-utils appstream xfsprogs"
failures=0
fail() { echo "FAIL ($case): $*"; cat "$bin/out"; failures=$((failures + 1)); }
expect() { grep -q "$@" "$bin/out" || fail "$@"; }        # a line of the output matches
refuse() { ! grep -q "$@" "$bin/out" || fail not "$@"; }  # none does
# case: mode uid absent sudo(yes/no)
while read -r case mode uid absent sudo; do
  rm -f "$bin/sudo" "$bin/log"
  [ "$sudo" = yes ] && cp "$bin/apt-get" "$bin/sudo"
  [ "$absent" = none ] && absent=""
  PATH=$bin FAKE_UID=$uid ABSENT=$absent LOG=$bin/log bash "$script" "$mode" >"$bin/out" 2>&1
  echo "exit $?" >>"$bin/out"
  [ -f "$bin/log" ] && cat "$bin/log" >>"$bin/out"
  case $case in
    user-run)
      expect -x "exit 1"
      expect -x "  apt-get install --no-install-recommends cmake .*qt6-base-dev.*libgf-complete-dev zlib1g-dev"
      for p in $test_only; do refuse -- " $p"; done ;;
    user-test)
      expect -x "exit 1"
      for p in $test_only; do expect -- "apt-get install .* $p"; done ;;
    sudo-run)
      expect -x "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qt6-svg-dev"
      expect -x "cmake" ;;
    root-test)
      expect -x "apt-get install -y -qq --no-install-recommends par2"
      refuse "sudo" ;;
  esac
  refuse "command not found"
done <<'CASES'
user-run  run  1000 all         no
user-test test 1000 all         no
sudo-run  run  1000 qt6-svg-dev yes
root-test test 0    par2        no
CASES
exit $((failures > 0))
