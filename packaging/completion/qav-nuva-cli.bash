# bash completion for qav-nuva-cli                       -*- shell-script -*-

_qav_nuva_cli_ports()
{
    # Port names as the tool lists them: the first word of each entry.
    qav-nuva-cli ports 2>/dev/null | while read -r name _; do printf '%s\n' "$name"; done
}

_qav_nuva_cli()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi

    local commands="ports read monitor write diff params motor-on motor-off calibrate upgrade firmware help --help --version"
    if ((cword == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        return
    fi

    case $prev in
        --port)
            mapfile -t COMPREPLY < <(compgen -W "$(_qav_nuva_cli_ports)" -- "$cur")
            if [[ $cur == /* ]]; then
                mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
            fi
            return
            ;;
        -o)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        --board)
            mapfile -t COMPREPLY < <(compgen -W "controller motor" -- "$cur")
            return
            ;;
        --count | --version | --address | --chip)
            return
            ;;
    esac

    local options
    case ${words[1]} in
        ports) options="--json --help" ;;
        read) options="--board --port -o --help" ;;
        monitor) options="--board --port --count --json --csv --help" ;;
        write) options="--board --port --flash --no-backup --allow-out-of-range --help" ;;
        diff) options="--board --port --exit-code --help" ;;
        params) options="--board --json --markdown --help" ;;
        motor-on | motor-off | calibrate) options="--port --help" ;;
        upgrade) options="--port --board --no-identify --help" ;;
        firmware)
            if ((cword == 2)); then
                options="pack info --help"
            elif [[ ${words[2]} == pack ]]; then
                options="--board --version --address --chip --force -o"
            else
                options=""
            fi
            ;;
        help) options="ports read monitor write diff params motor-on motor-off calibrate upgrade firmware" ;;
        *) return ;;
    esac
    # write, diff and upgrade take files, and so do the firmware subcommands.
    local takesFile=0
    case ${words[1]} in
        write | diff | upgrade) takesFile=1 ;;
        firmware) ((cword > 2)) && takesFile=1 ;;
    esac
    if ((takesFile)) && [[ $cur != -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur"; compgen -f -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    fi
} &&
    complete -F _qav_nuva_cli qav-nuva-cli
