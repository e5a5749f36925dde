# Shell helpers of the test scripts. Source it: . "$(dirname "$0")/../harness/lib.sh"
#
#   pass TEXT / fail TEXT   one "ok" or "FAIL" line; fail counts into $failures
#   finish NAME             the summary line; exits 1 when anything failed
#   fresh_work_dir DIR      DIR emptied and made, its absolute path in $work, removed at exit
#   temp_work_dir           a new temporary $work, removed at exit
#   winpath PATH            PATH as a Windows program under Wine sees it (drive Z:)
#   run_wine RUN_WINE ARGS  a Windows program under the test run's Wine (run-wine.sh)
#   write_product_file FILE HOST  a product file naming HOST as the update server

failures=0

pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$1: $failures check(s) failed"
    exit 1
  fi
  echo "$1: all checks passed"
  exit 0
}

fresh_work_dir() {
  rm -rf "$1" && mkdir -p "$1" && work=$(cd "$1" && pwd) || exit 2
  trap 'rm -rf "$work"' EXIT
}

temp_work_dir() {
  work=$(mktemp -d) || exit 2
  trap 'rm -rf "$work"' EXIT
}

winpath() { echo "Z:$1" | tr / '\\'; }

run_wine() {
  local runner=$1
  shift
  bash "$runner" "$@"
}

# The payload is setup.exe of tandemix, brand quorvane.
write_product_file() { # FILE HOST
  cat > "$1" <<XML
<?xml version="1.0" encoding="utf-8"?>
<ProductConfig schema="2.00">
  <StringSet lang="default">
    <String id="IDS_PRODUCT_BRAND">quorvane</String>
    <String id="IDS_PAYLOAD_FILENAME">setup</String>
    <String id="IDS_PAYLOAD_FILENAME_EXTENSION">exe</String>
    <String id="IDS_PAYLOAD_PRODUCT_NAME">tandemix</String>
    <String id="IDS_PAYLOAD_BU_NAME">peripherals</String>
    <String id="IDS_PRODUCT_ABBR">TVK</String>
    <String id="IDS_PAYLOAD_SERVER_HOST">$2</String>
  </StringSet>
</ProductConfig>
XML
}
