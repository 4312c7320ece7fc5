#!/bin/sh
# drives.sh setup|cleanup PREFIX DIR: small file systems for the free-space
# tests under Wine, as drives S: (1 MiB) and B: (4 GiB + 1 MiB) of the
# prefix. Where tmpfs cannot be mounted the tests that need them skip.
action=$1 prefix=$2 dir=$3
case "$action" in
setup)
  for d in small:s:1048576 big:b:4296015872; do
    name=${d%%:*} rest=${d#*:} letter=${rest%%:*} size=${rest#*:}
    mkdir -p "$dir/$name" "$prefix/dosdevices"
    umount "$dir/$name" 2>/dev/null
    if mount -t tmpfs -o size="$size" tailpatch-test "$dir/$name" 2>/dev/null; then
      ln -sfn "$dir/$name" "$prefix/dosdevices/$letter:"
    else
      echo "cannot mount a tmpfs at $dir/$name: the free-space cases will skip"
    fi
  done
  ;;
cleanup)
  for d in small:s big:b; do
    rm -f "$prefix/dosdevices/${d#*:}:"
    umount "$dir/${d%%:*}" 2>/dev/null
  done
  ;;
esac
exit 0
