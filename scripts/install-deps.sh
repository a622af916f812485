#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root), and fetches
# SQLite's single-file source into third_party/sqlite/ (outside git).
# Does nothing when everything is already there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick cmake make googletest python3 fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# npm fetches the SQLite source below; Node.js may have brought its own.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync can fail one index; try again, and go on with
  # the lists there are if it still fails (the install below says if a package is missing).
  for try in 1 2 3; do
    apt-get update -qq && break
    echo "install-deps: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 10))
  done
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # The 32-bit packages must be of the very versions of their 64-bit twins. While
    # one architecture's security index cannot be read (a mirror half synced), the
    # twins cannot be matched; Debian's main suites alone are consistent, so the
    # install is tried once more from those, and the usual lists are read again.
    echo "install-deps: installing from Debian's main suites only" >&2
    only_main=$(mktemp -d)
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      >"$only_main/main.sources"
    main_only=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$only_main")
    rc=0
    apt-get "${main_only[@]}" update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get "${main_only[@]}" install -y -qq --no-install-recommends "${missing[@]}" || rc=$?
    rm -rf "$only_main"
    apt-get update -qq || true
    [ $rc = 0 ] || exit $rc
  fi
fi

# SQLite (the Wash edits Firefox's places.sqlite with it). Debian has no mingw
# build: the npm package better-sqlite3 carries SQLite's amalgamation. The
# version and the hashes are pinned; CMake builds it as a library of its own.
sqlite_package=better-sqlite3@13.2.0                # SQLite 3.54.1
sqlite_tarball=better-sqlite3-13.2.0.tgz
sqlite_tarball_sha256=40487589df3496f2ee0079d22b73c63fccebe7db0e8ee9a2c42421861e321e0b
sqlite_c_sha256=75a4760a7b9727a4c4c877aec92eacf39e52a8f2921ce00bd33be6d3a8e8e254
sqlite_h_sha256=d6c84557261893439b341d2e6c35187ae3ea24fbfd843ad94616f72d89242b8c
sqlite_dir=$root/third_party/sqlite

sqlite_in_place() {
  [ -f "$sqlite_dir/sqlite3.c" ] && [ -f "$sqlite_dir/sqlite3.h" ] &&
    echo "$sqlite_c_sha256  $sqlite_dir/sqlite3.c" | sha256sum -c --status - &&
    echo "$sqlite_h_sha256  $sqlite_dir/sqlite3.h" | sha256sum -c --status -
}

if ! sqlite_in_place; then
  echo "Fetching SQLite: $sqlite_package"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$sqlite_package" >/dev/null)
  if ! echo "$sqlite_tarball_sha256  $work/$sqlite_tarball" | sha256sum -c --status -; then
    echo "install-deps: $sqlite_tarball does not have the pinned SHA-256; nothing was extracted" >&2
    exit 1
  fi
  tar -xzf "$work/$sqlite_tarball" -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  mkdir -p "$sqlite_dir"
  cp "$work/package/deps/sqlite3/sqlite3.c" "$work/package/deps/sqlite3/sqlite3.h" "$sqlite_dir/"
  if ! sqlite_in_place; then
    echo "install-deps: the extracted SQLite source does not have the pinned SHA-256" >&2
    exit 1
  fi
fi
