#!/usr/bin/env bash
# Test fixture: a folder seen twice, writable under DIR/src and read-only
# under DIR/view (a read-only bind mount), so that a program running as the
# super-user (whom folder permissions do not stop) meets a folder it cannot
# write. "up DIR" makes it and writes DIR/src/ready when the view is
# read-only; "down DIR" takes it apart. Without the right to mount, no
# "ready" appears and the test that needs it skips.
set -u
action="$1"
dir="$2"
case "$action" in
  up)
    mountpoint -q "$dir/view" 2>/dev/null && umount "$dir/view"
    rm -rf "$dir"
    mkdir -p "$dir/src" "$dir/view"
    if mount --bind -o ro "$dir/src" "$dir/view" 2>/dev/null; then
      if ! touch "$dir/view/probe" 2>/dev/null; then
        touch "$dir/src/ready"
      fi
      rm -f "$dir/src/probe"
    fi
    ;;
  down)
    mountpoint -q "$dir/view" 2>/dev/null && umount "$dir/view"
    rm -rf "$dir"
    ;;
esac
exit 0
