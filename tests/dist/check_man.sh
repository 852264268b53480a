#!/bin/sh
# check_man.sh PAGE: formats a man page as man(1) does and fails on any
# warning of groff.
page=$1
if ! command -v groff >/dev/null 2>&1; then
    echo "man page: SKIP: groff is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
warnings=$(groff -k -ww -man -Tutf8 "$page" 2>&1 >/dev/null) || { echo "$warnings" >&2; exit 1; }
if [ -n "$warnings" ]; then
    echo "man page: groff warns about $page:" >&2
    echo "$warnings" >&2
    exit 1
fi
echo "man page: $page formats without warnings"
