# bash completion for vexo                                     -*- shell-script -*-
# Steps, options, device names, speeds, port descriptions, and image files by
# their extension.

_vexo_images='@(bin|BIN|rom|ROM|hex|HEX|ihx|IHX|ihex|IHEX|s19|S19|s28|S28|s37|S37|srec|SREC|mot|MOT)'

_vexo_port_words()
{
    local words="sim none ppdev direct sim:chip= sim:size= sim:module=absent sim:pulses= sim:tray="
    local p
    for p in /dev/parport[0-9]*; do
        [[ -e $p ]] && words+=" ppdev:$p"
    done
    words+=" direct:0x378 direct:0x278 direct:0x3BC"
    printf '%s\n' $words
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

    local steps="load save read blank write verify auto port device speed status checksum convert batch"
    local options="--port --trace --vcd --fault --device --speed --json --help"
    local devices="27C256 27C512 27C010 27C020 27C040"
    local speeds="normal high express"

    case $prev in
        --port)
            if [[ $cur == sim:* ]]; then
                # The item being written: a key, or a key's value.
                local item=${cur##*[:,]}
                local before=${cur%"$item"}
                if [[ $item == *=* ]]; then
                    local key=${item%%=*} value=${item#*=}
                    case $key in
                        chip) COMPREPLY=($(compgen -f -- "$value")) ;;
                        tray) COMPREPLY=($(compgen -d -- "$value")) ;;
                        size) COMPREPLY=($(compgen -W "$devices" -- "${value^^}")) ;;
                        module) COMPREPLY=($(compgen -W "absent present" -- "$value")) ;;
                    esac
                    COMPREPLY=("${COMPREPLY[@]/#/$before$key=}")
                else
                    COMPREPLY=($(compgen -W "chip= size= module= pulses= tray=" -P "$before" -- "$item"))
                    compopt -o nospace 2>/dev/null
                fi
            else
                COMPREPLY=($(compgen -W "$(_vexo_port_words)" -- "$cur"))
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
            return ;;
        --trace | --vcd | --log)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return ;;
        --fault)
            COMPREPLY=($(compgen -W "seed= flip= mask= stuck= unplug=" -- "$cur"))
            compopt -o nospace 2>/dev/null
            return ;;
        --device | device)
            COMPREPLY=($(compgen -W "$devices" -- "${cur^^}"))
            return ;;
        --speed | speed)
            COMPREPLY=($(compgen -W "$speeds" -- "$cur"))
            return ;;
        port)
            COMPREPLY=($(compgen -W "1 2 3" -- "$cur"))
            return ;;
        load | convert)
            local reset_extglob
            reset_extglob=$(shopt -p extglob)
            shopt -s extglob
            COMPREPLY=($(compgen -f -X "!*.$_vexo_images" -- "$cur") $(compgen -d -- "$cur"))
            $reset_extglob
            compopt -o filenames 2>/dev/null
            return ;;
        save)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return ;;
        --fill | --serial | --retries)
            return ;;
    esac
    # convert IN OUT: the output file.
    if [[ $cword -ge 3 && ${words[cword - 2]} == convert ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
        return
    fi

    if [[ $cur == -* ]]; then
        # Options of the step being written, then the global ones.
        local i extra=
        for ((i = cword - 1; i > 0; i--)); do
            case ${words[i]} in
                convert) extra="--fill"; break ;;
                batch) extra="--serial --log --retries --skip-blank"; break ;;
                load | save | read | blank | write | verify | auto | port | device | speed | status | checksum) break ;;
            esac
        done
        COMPREPLY=($(compgen -W "$extra $options" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -W "$steps" -- "$cur"))
} &&
    complete -F _vexo vexo

# ex: filetype=sh
