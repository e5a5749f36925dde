#!/usr/bin/env bash
# Runs one Windows program of the test run under the run's Wine prefix and display.
# The exit code passes through; Wine's own banner is dropped, CRLF becomes LF.
set -uo pipefail
state=${ZV_WINE_STATE:-}
if [ -z "$state" ] || [ ! -f "$state/env" ]; then
  echo "run-wine: no Wine platform running (ZV_WINE_STATE=$state)" >&2
  exit 2
fi
# shellcheck disable=SC1091
. "$state/env"
wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch' -e 'apt-get install wine32' -e '^it looks like' -e '^ *multiarch' >&2) | tr -d '\r'
exit "${PIPESTATUS[0]}"
