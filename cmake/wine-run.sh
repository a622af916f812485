#!/bin/sh
# The emulator through which ctest runs every test program: Wine's loader (the
# first argument) with Wine's menu builder switched off, whoever started ctest.
# Without this a run that skipped scripts/env.sh would copy every Start-menu
# shortcut that setup makes into the Linux home folder's menus and icons.
loader=$1
shift
case "${WINEDLLOVERRIDES:-}" in
  *winemenubuilder.exe=d*) ;;
  *) WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d" ;;
esac
export WINEDLLOVERRIDES
exec "$loader" "$@"
