#!/usr/bin/env bash
# The man page and the bash completion of orvanti-cli follow the program's own help: every command
# and every option of each command is in both, and every exit code in the man page.
set -euo pipefail
cli=$1 source=$2
man_text=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$source/man/orvanti-cli.1")
app_man=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$source/man/orvanti.1")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NF > 1 {print $1}')
[ -n "$commands" ] || { echo "FAIL: no commands in orvanti-cli --help"; exit 1; }
for code in $(seq 0 10); do
  grep -qx ".B $code" <<<"$man_text" || fail "exit code $code is not in orvanti-cli(1)"
done
for variable in XDG_DATA_HOME BRISEL_LOG OV_ENROLL_CA_FILE; do
  grep -q "^.B $variable\$" <<<"$man_text" || fail "$variable is not in orvanti-cli(1)"
  grep -q "^.B $variable\$" <<<"$app_man" || fail "$variable is not in orvanti(1)"
done
for option in --version --help -; do
  grep -q "^.B $option\$" <<<"$app_man" || fail "orvanti's $option is not in orvanti(1)"
done

# The completion, run the way bash runs it.
completion_ok=1
bc=/usr/share/bash-completion/bash_completion
if [ ! -r "$bc" ]; then
  echo "NOTE: bash-completion is missing; the completion is not run"
  completion_ok=0
fi
complete_words() {  # prints what the completion offers for the words given (the last one is cur)
  bash --norc -c '
    source "$1"; source "$2"; shift 2
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _orvanti_cli orvanti-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$bc" "$source/packaging/completion/orvanti-cli" "$@" |
    sort
}
if ((completion_ok)); then
  offered=$(complete_words orvanti-cli '')
  for command in $commands; do
    grep -qx -- "$command" <<<"$offered" || fail "the completion does not offer the command $command"
  done
fi

for command in $commands; do
  grep -qE "^(\.B[IR]? )?$command( |\$)" <<<"$man_text" || fail "$command is not in orvanti-cli(1)"
  options=$("$cli" "$command" --help | sed -n '/^Options:/,/^$/p' | awk '$1 ~ /^--/ {print $1}' | sort)
  for option in $options; do
    grep -q -- "$option" <<<"$man_text" || fail "$command $option is not in orvanti-cli(1)"
  done
  if ((completion_ok)); then
    offered=$(complete_words orvanti-cli "$command" --)
    expected=$(printf '%s\n' $options --help | sort -u)
    [ "$offered" = "$(sort -u <<<"$offered")" ] && [ "$(sort -u <<<"$offered")" = "$expected" ] ||
      fail "the completion offers for '$command --': $(echo $offered), the program takes: $(echo $expected)"
  fi
done
((failures == 0)) || exit 1
echo "man pages and completion follow the help of $(echo $commands | wc -w) commands"
