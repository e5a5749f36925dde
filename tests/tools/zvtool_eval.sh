#!/usr/bin/env bash
# zvtool eval's command line: the expression from the arguments or standard input,
# --var, --machine, and the exit codes. What the engine computes is the engine tests'.
# ZVTOOL... is the program to run (with its emulator under Wine).
# Usage: zvtool_eval.sh SOURCE_DIR ZVTOOL...
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=$1
shift

check() { # expected-output expected-exit args...
  local want=$1 wantrc=$2
  shift 2
  local got rc
  got=$("$@" 2>/dev/null)
  rc=$?
  if [ "$got" != "$want" ] || [ "$rc" != "$wantrc" ]; then
    fail "$(printf '%s\n  want [%s] exit %s\n  got  [%s] exit %s' "${*: -1}" "$want" "$wantrc" "$got" "$rc")"
  else
    pass "${*: -1} -> $got"
  fi
}

tool=("$@")
check 'int 14' 0 "${tool[@]}" eval '2 + 3 * 4'
check 'int 3' 0 "${tool[@]}" eval '7 / 2'
check 'real 3.500000' 0 "${tool[@]}" eval '7.0 / 2'
check 'error ERR_DIV_ZERO (11)' 1 "${tool[@]}" eval '7 / 2.0'
check 'text ababab' 0 "${tool[@]}" eval '"ab" * 3'
check 'error ERR_PARAMLIST (10)' 1 "${tool[@]}" eval 'SubStr("abc")'
check 'error ERR_EMPTY (3)' 1 "${tool[@]}" eval ''
check 'error ERR_SYNTAX (6)' 1 "${tool[@]}" eval '1 +'
check 'text x-y' 0 "${tool[@]}" eval --var A=x --var B=y 'A + "-" + B'
check 'int 0' 0 "${tool[@]}" eval 'rebootrequired'
check 'int 64' 0 "${tool[@]}" eval 'bitness'

# The expression from standard input.
got=$(printf '"say ""hi"""\n' | "${tool[@]}" eval - 2>/dev/null)
[ "$got" = 'text say "hi"' ] || fail "stdin gave [$got]"

# A machine profile decides what the functions see.
prof="$src/tests/data/expr/machines"
profpath=$prof/xp64.profile
if [ "${ZV_WINDOWS:-0}" = 1 ]; then profpath="Z:${profpath//\//\\}"; fi
check 'text _xp' 0 "${tool[@]}" eval --machine "$profpath" 'UOs()'
check 'text _xp' 0 "${tool[@]}" eval --machine "$profpath" 'os'

# Usage errors exit 2.
"${tool[@]}" eval >/dev/null 2>&1; rc=$?
[ "$rc" = 2 ] || fail "missing expression exit $rc"
"${tool[@]}" eval --bogus 1 >/dev/null 2>&1; rc=$?
[ "$rc" = 2 ] || fail "unknown option exit $rc"
"${tool[@]}" eval --machine /nonexistent.profile 1 >/dev/null 2>&1; rc=$?
[ "$rc" = 2 ] || fail "missing profile exit $rc"
finish "zvtool eval"
