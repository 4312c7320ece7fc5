#!/bin/sh
# wine-run.sh PREFIX PROGRAM ARGS...: runs a Windows program under Wine,
# unattended, in the build's own prefix. The build's emulator for its test
# programs; also runs wineboot and wineserver for the prefix's setup.
WINEPREFIX=$1
shift
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  wineboot) exec "$@" ;;
  # Stopping a server that has already gone is no failure.
  wineserver) "$@"; exit 0 ;;
esac
exec wine "$@"
