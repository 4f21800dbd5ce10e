#!/usr/bin/env bash
# The Debian package, made by CPack from a built tree.
#   package_test.sh build BUILD_DIR     makes build/package/qvr_*.deb (dependencies from dpkg-shlibdeps)
#   package_test.sh lintian BUILD_DIR   lintian finds no error in it
#   package_test.sh contents BUILD_DIR  unpacked into a temporary root (dpkg -x): the files stand where
#                                       Debian puts them and the unpacked programs, manual pages,
#                                       completion and metadata work
#   package_test.sh install BUILD_DIR   installs it on this system (dpkg -i, then apt for missing
#                                       dependencies), runs the installed programs and removes it
#                                       again, leaving nothing behind. Only as root, and only when
#                                       QVR_TEST_SYSTEM_INSTALL=1 says this system may be changed (CI
#                                       does); skipped otherwise.
set -euo pipefail
mode=$1 build=$(realpath "$2")
fail() { echo "FAIL: $*"; exit 1; }
deb() {
  local found=("$build"/package/qvr_*.deb)
  [[ -f "${found[0]}" ]] || fail "no package in $build/package (the package.build test makes it)"
  echo "${found[0]}"
}

case $mode in
build)
  rm -rf "$build/package"
  cpack -G DEB --config "$build/CPackConfig.cmake" >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; fail "cpack failed"; }
  package=$(deb)
  dpkg-deb --info "$package"
  depends=$(dpkg-deb --field "$package" Depends)
  # dpkg-shlibdeps found the libraries the programs link.
  for library in libcdio libsdl2 libqt6widgets6 libcurl libc6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  ;;
lintian)
  command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
  # Errors fail; warnings are shown. (CI runs as root, which lintian remarks on: left out.)
  lintian --fail-on error --info "$(deb)" 2>&1 | { grep -v "running with root privileges" || true; }; [[ ${PIPESTATUS[0]} -eq 0 ]] || fail "lintian found errors"
  ;;
contents)
  package=$(deb)
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg -x "$package" "$root"
  for file in usr/bin/qvr usr/bin/qvrdb usr/bin/qvrdb-online usr/bin/qvr-plugin-host usr/lib/qvr/qvrdb-drive.so \
              usr/share/applications/io.github.qvrproject.qvr.desktop \
              usr/share/metainfo/io.github.qvrproject.qvr.metainfo.xml \
              usr/share/icons/hicolor/scalable/apps/qvr.svg \
              usr/share/man/man1/qvr.1.gz usr/share/man/man1/qvrdb.1.gz usr/share/man/man1/qvr-plugin-host.1.gz \
              usr/share/bash-completion/completions/qvrdb \
              usr/share/doc/qvr/copyright usr/share/doc/qvr/changelog.gz \
              usr/share/qvr/demo/QvrDemo.cue usr/share/qvr/demo/QvrDemo.bin usr/share/qvr/demo/QvrDemo.json; do
    [[ -f "$root/$file" ]] || fail "the package lacks /$file"
  done
  # Nothing from the build tree: no tests, no build paths in the programs' run paths. Besides
  # /usr/bin and /usr/share only qvrdb's drive module, in the package's private folder.
  extra=$(cd "$root" && find . -type f | grep -v -E '^\./usr/(bin|share)/|^\./usr/lib/qvr/qvrdb-drive\.so$' || true)
  [[ -z $extra ]] || fail "files outside /usr/bin, /usr/share and /usr/lib/qvr: $extra"
  for program in bin/qvr bin/qvrdb bin/qvrdb-online bin/qvr-plugin-host lib/qvr/qvrdb-drive.so; do
    ! readelf -d "$root/usr/$program" | grep -q -E 'RPATH|RUNPATH' || fail "$program carries a run path"
  done
  home=$(mktemp -d)
  trap 'rm -rf "$root" "$home"' EXIT
  export HOME=$home XDG_DATA_HOME=$home/data
  "$root/usr/bin/qvr" --version | grep -q '1\.2\.2\.249' || fail "the unpacked qvr --version"
  "$root/usr/bin/qvrdb" --help | grep -q '使い方' || fail "the unpacked qvrdb --help"
  # The unpacked tool reads the unpacked demo disc and registers it in a database of its own.
  "$root/usr/bin/qvrdb" --db "$home/DB" import "$root/usr/share/qvr/demo/QvrDemo.json" >/dev/null ||
    fail "qvrdb import of the demo disc"
  # probe loads the unpacked drive module from /usr/lib/qvr.
  "$root/usr/bin/qvrdb" --db "$home/DB" probe --json "$root/usr/share/qvr/demo/QvrDemo.cue" | grep -q '"Registered":true' ||
    fail "qvrdb probe does not find the demo disc registered"
  # man shows the installed pages; the metadata and the desktop entry pass their validators.
  for page in qvr qvrdb; do
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1)
    [[ $text == *"$page"*"名前"* || $text == *"名前"*"$page"* ]] || fail "man $page: $text"
  done
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.qvrproject.qvr.metainfo.xml" ||
    fail "the AppStream metadata is not valid"
  desktop-file-validate "$root/usr/share/applications/io.github.qvrproject.qvr.desktop" ||
    fail "the desktop entry is not valid"
  bash -n "$root/usr/share/bash-completion/completions/qvrdb" || fail "the completion does not parse"
  ;;
install)
  [[ ${QVR_TEST_SYSTEM_INSTALL:-} == 1 && $(id -u) -eq 0 ]] || {
    echo "skipped: installs into this system only as root with QVR_TEST_SYSTEM_INSTALL=1"
    exit 77
  }
  if dpkg-query -W -f='${Status}' qvr 2>/dev/null | grep -q 'installed'; then
    echo "skipped: a qvr package is installed here already; it is left alone"
    exit 77
  fi
  package=$(deb)
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "$package" >"$build/package-install.log" 2>&1 ||
    { cat "$build/package-install.log"; fail "the package does not install"; }
  trap 'dpkg --purge qvr >/dev/null 2>&1 || true' EXIT
  [[ $(command -v qvr) == /usr/bin/qvr ]] || fail "qvr is not on the PATH as /usr/bin/qvr"
  qvr --version | grep -q '1\.2\.2\.249' || fail "the installed qvr --version"
  qvrdb --help | grep -q '使い方' || fail "the installed qvrdb --help"
  qvrdb --db "$build/no-such-database" probe /usr/share/qvr/demo/QvrDemo.cue | grep -q '^Registered: no$' ||
    fail "the installed qvrdb probe does not read the demo disc"
  MANWIDTH=80 LC_ALL=C.UTF-8 man qvrdb 2>/dev/null | grep -q 'qvrdb' || fail "man qvrdb does not show the page"
  files=$(dpkg -L qvr | while read -r path; do [[ -f $path ]] && echo "$path"; done)
  dpkg --purge qvr >/dev/null || fail "dpkg --purge qvr failed"
  trap - EXIT
  dpkg-query -W qvr >/dev/null 2>&1 && [[ -n $(dpkg-query -W -f='${Status}' qvr | grep -v not-installed) ]] &&
    fail "qvr is still known to dpkg"
  for path in $files; do
    [[ ! -e $path ]] || fail "$path is left after the removal"
  done
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo PASS
