#!/usr/bin/env bash
# The completion offers token names as they are stored and never runs what they hold: names with
# backticks, $( ), blanks and quotes from a real store are offered, and no command inside runs.
set -euo pipefail
cli=$1 source=$2
bc=/usr/share/bash-completion/bash_completion
if [ ! -r "$bc" ]; then
  echo "bash-completion is missing"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/home" "$work/bin" "$work/run"
ln -s "$cli" "$work/bin/orvanti-cli"
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
export PATH=$work/bin:$PATH

names=('`touch $MARK-backtick`' 'Tok $(touch $MARK-dollar)' "Tok 'single' & more" 'Token plain')
for name in "${names[@]}"; do
  orvanti-cli new "$name" >/dev/null
done

complete_words() {  # prints what the completion offers for the words given (the last one is cur)
  (cd "$work" && MARK=$work/ran bash --norc -c '
    source "$1"; source "$2"; shift 2
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _orvanti_cli orvanti-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$bc" "$source/packaging/completion/orvanti-cli" "$@")
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
offered=$(complete_words orvanti-cli info '')
# Each offer is the name quoted for the command line: evaluated, it gives back the name.
decoded=$(while IFS= read -r word; do eval "printf '%s\n' $word"; done <<<"$offered" | sort)
expected=$(printf '%s\n' "${names[@]}" | sort)
[ "$decoded" = "$expected" ] || fail "offered for 'info': $offered"
[ "$(complete_words orvanti-cli info Tok | wc -l)" -eq 3 ] || fail "a prefix does not narrow the names"
ran=$(find "$work" -maxdepth 1 -name 'ran*')
[ -z "$ran" ] || fail "completing the names ran what they hold: $ran"
((failures == 0)) || exit 1
echo "token names are offered as stored and nothing in them runs"
