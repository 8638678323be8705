#!/bin/sh
# A stand-in for the game tool that takes its time: it does the work of compress and
# decompress after the delay its environment gives, COMPRESS_DELAY or DECOMPRESS_DELAY.
here=$(dirname "$0")
case "$1" in
compress)
    sleep "$COMPRESS_DELAY"
    cat "$2" >"$2.uz"
    printf 'Log: Compressed %s -> %s.uz (100%%)\r\n' "$2" "$2" >"$here/UCC.log"
    ;;
decompress)
    sleep "$DECOMPRESS_DELAY"
    name=$(basename "$2")
    cat "$2" >"$here/${name%???}"
    ;;
esac
