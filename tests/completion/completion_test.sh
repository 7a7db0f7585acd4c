#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion script, driven as bash drives it (COMP_WORDS, then the
# function `complete -p` names): every step and option each program's --help
# lists is offered, files after the steps that take one, part numbers after
# `device`, backends after --port.
#   completion_test.sh SCRIPT BINDIR...   (the folders of vexo, vexo-hexbin, vexowriter)
set -uo pipefail
script=$1
shift
for dir in "$@"; do PATH=$dir:$PATH; done
export PATH QT_QPA_PLATFORM=offscreen

if [[ -r /usr/share/bash-completion/bash_completion ]]; then
    # shellcheck disable=SC1091
    . /usr/share/bash-completion/bash_completion
fi
# shellcheck disable=SC1090
. "$script"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# complete LINE: COMPREPLY for the last word of LINE (a trailing space: a new word).
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    local spec function
    spec=$(complete -p "${COMP_WORDS[0]}" 2>/dev/null) || { fail "no completion for ${COMP_WORDS[0]}"; return; }
    function=$(sed -n 's/.*-F \([^ ]*\).*/\1/p' <<<"$spec")
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}

# expect LINE WORD...: every WORD is offered for LINE.
expect() {
    local line=$1 word offered
    shift
    complete_line "$line"
    offered=" ${COMPREPLY[*]} "
    for word in "$@"; do
        [[ $offered == *" $word "* ]] || fail "'$line<TAB>' does not offer '$word' (offered:${offered})"
    done
}

# The long options of a --help text.
help_options() { "$@" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }

# vexo: the steps and options --help lists.
mapfile -t steps < <(vexo --help | sed -n '/^Steps:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p')
[[ ${#steps[@]} -ge 20 ]] || fail "vexo --help lists only ${#steps[@]} steps"
mapfile -t globals < <(vexo --help | sed -n '/^Options:/,/^$/p' | grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
expect "vexo " "${steps[@]}"
expect "vexo -" "${globals[@]}"
for required in --retries --pulse-us --skip-blank --version --json; do expect "vexo -" "$required"; done
expect "vexo --device 27C512 read " "${steps[@]}"

# Each step's options, after the step and its arguments (help: "[--opt VALUE]").
while read -r step rest; do
    mapfile -t own < <(grep -o -- '\[--[a-z-]*' <<<"$rest" | tr -d '[')
    [[ ${#own[@]} -gt 0 ]] || continue
    args=
    # "-" in the arguments' place is a file (standard input or output).
    case $step in
        convert) args="a.hex b.bin " ;;
        load | save | export | job-save) args="x.bin " ;;
        merge) args="a.bin b.bin " ;;
        load-at) args="0x100 x.bin " ;;
    esac
    expect "vexo $step $args-" "${own[@]}"
done < <(vexo --help | sed -n '/^Steps:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) \(.*\)/\1 \2/p')
expect "vexo checksum -" --range
expect "vexo compare -" --csv --max-diffs
expect "vexo batch -" --serial --log --retries --skip-blank

# Files after every step that takes one.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/image.hex"
for line in "load " "save " "export " "convert " "convert x.hex " "split " "split a.bin " "merge " \
            "load-at 0x100 " "compare --csv " "batch --log "; do
    expect "vexo $line$scratch/im" "$scratch/image.hex"
done
complete_line "vexo export "
[[ " ${COMPREPLY[*]} " != *" load "* ]] || fail "'vexo export <TAB>' offers step names"

# Part numbers and devices; speeds; ports.
expect "vexo device " 27C256 27C512 27C010 27C020 27C040
expect "vexo device 27C1" 27C1001
expect "vexo --device " 27C040
expect "vexo speed " normal high express
expect "vexo --port " sim ppdev direct none
expect "vexo port " 1 2 3

# vexo-hexbin and vexowriter: their --help's options, files for the rest.
mapfile -t hexbin < <(help_options vexo-hexbin)
expect "vexo-hexbin -" "${hexbin[@]}"
expect "vexo-hexbin $scratch/im" "$scratch/image.hex"
mapfile -t writer < <(help_options vexowriter | grep -v -- '--help-all')
expect "vexowriter -" "${writer[@]}"
expect "vexowriter $scratch/im" "$scratch/image.hex"
expect "vexowriter --port " sim ppdev direct none
expect "vexowriter --trace $scratch/im" "$scratch/image.hex"

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "completion: every step and option offered"
