#!/usr/bin/env bash
# The bash completion of xjqt-tarlo offers commands, options and file names at
# the right places. bash-completion's helpers are stood in for: _filedir
# answers "FILES" (with its extension filter), so only the script's choices count.
# Usage: BashCompletionTest.sh COMPLETION_FILE
set -uo pipefail
_init_completion() {
  words=("${COMP_WORDS[@]}")
  cword=$COMP_CWORD
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
}
_filedir() { COMPREPLY=("FILES${1:+:$1}"); }
# shellcheck source=/dev/null
source "$1"

failures=0
check() {  # expected, words...
  local expected=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _xjqt_tarlo
  if [[ "${COMPREPLY[*]}" != "$expected" ]]; then
    echo "[$*]: expected '$expected', got '${COMPREPLY[*]}'" >&2
    failures=$((failures + 1))
  fi
}

check "detect read write verify erase blank program" xjqt-tarlo ""
check "write" xjqt-tarlo w
check "read" xjqt-tarlo --json re
check "--all --json --quiet --log --allow-overflow --max-differences --driver --help --version" xjqt-tarlo --
check "--allow-overflow" xjqt-tarlo write a.bin --allo
check "FILES -" xjqt-tarlo read ""
check "FILES -" xjqt-tarlo --all write ""
check "FILES -" xjqt-tarlo --max-differences 4 verify ""
check "FILES" xjqt-tarlo program fw
check "--quiet" xjqt-tarlo blank --qu
check "FILES" xjqt-tarlo --log ""
check "read" xjqt-tarlo --log trace.txt re
check "--changed" xjqt-tarlo write --ch
check "--changed" xjqt-tarlo --json write a.bin --c
check "" xjqt-tarlo verify --ch
check "" xjqt-tarlo --ch
check "" xjqt-tarlo read a.bin ""
check "" xjqt-tarlo detect ""
check "" xjqt-tarlo erase ""
check "" xjqt-tarlo --max-differences ""
check "FILES:so" xjqt-tarlo --driver ""
check "verify" xjqt-tarlo --driver x.so ve
if [[ "$(complete -p xjqt-tarlo)" != "complete -F _xjqt_tarlo xjqt-tarlo" ]]; then
  echo "the completion is not registered for xjqt-tarlo" >&2
  failures=$((failures + 1))
fi
exit $((failures > 0))
