# bash completion for vexo, vexo-hexbin and vexowriter      -*- shell-script -*-
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The programs say what to offer: `PROGRAM --complete WORD...` (the words
# typed so far, the one being completed last) prints one candidate a line
# from their own tables (steps, options, port backends, devices, speeds);
# "@files" asks for file names. Only the simulator's keys inside a --port
# value are completed here.

_vexo_port_value()
{
    local program=$1 cur=$2
    if [[ $cur == sim:* ]]; then
        # The item being written: a key, or a key's value.
        local item=${cur##*[:,]}
        local before=${cur%"$item"}
        if [[ $item == *=* ]]; then
            local key=${item%%=*} value=${item#*=}
            case $key in
                chip) COMPREPLY=($(compgen -f -- "$value")) ;;
                tray) COMPREPLY=($(compgen -d -- "$value")) ;;
                size) COMPREPLY=($(compgen -W "$("$program" --complete device "$value" 2>/dev/null)" -- "${value^^}")) ;;
                module) COMPREPLY=($(compgen -W "absent present" -- "$value")) ;;
            esac
            COMPREPLY=("${COMPREPLY[@]/#/$before$key=}")
        else
            COMPREPLY=($(compgen -W "chip= size= module= pulses= tray=" -P "$before" -- "$item"))
            compopt -o nospace 2>/dev/null
        fi
    else
        local words p
        words=$("$program" --complete --port "" 2>/dev/null)
        for p in /dev/parport[0-9]*; do
            [[ -e $p ]] && words+=" ppdev:$p"
        done
        words+=" direct:0x378 direct:0x278 direct:0x3BC sim:chip= sim:size= sim:module=absent sim:pulses= sim:tray="
        COMPREPLY=($(compgen -W "$words" -- "$cur"))
        [[ ${#COMPREPLY[@]} -eq 1 && $COMPREPLY == *= ]] && compopt -o nospace 2>/dev/null
    fi
    # Readline replaces only the part after the last ':' or '='.
    local done_part=${cur%"${cur##*[:=]}"}
    if [[ -n $done_part ]]; then
        local i
        for i in "${!COMPREPLY[@]}"; do
            COMPREPLY[i]=${COMPREPLY[i]#"$done_part"}
        done
    fi
}

_vexo()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n =: || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi
    local program=$1
    [[ -n $program ]] || program=${words[0]}

    if [[ $prev == --port ]]; then
        _vexo_port_value "$program" "$cur"
        return
    fi

    local IFS=$'\n'
    local -a answer
    answer=($("$program" --complete "${words[@]:1:cword}" 2>/dev/null))
    local files=0 word
    COMPREPLY=()
    for word in "${answer[@]}"; do
        if [[ $word == @files ]]; then
            files=1
        else
            COMPREPLY+=("$word")
        fi
    done
    if ((files)); then
        COMPREPLY+=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
    fi
} &&
    complete -F _vexo vexo vexo-hexbin vexowriter

# ex: filetype=sh
