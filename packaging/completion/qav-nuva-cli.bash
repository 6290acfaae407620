# bash completion for qav-nuva-cli                       -*- shell-script -*-
#
# The program knows its commands, their options and its ports: it is asked
# for the words on every Tab (qav-nuva-cli --complete WORD...), with the
# word being completed last. A first word "@files" asks for file names too.

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

    local word files=0
    COMPREPLY=()
    while IFS= read -r word; do
        if [[ $word == @files ]]; then
            files=1
        else
            COMPREPLY+=("$word")
        fi
    done < <("${words[0]}" --complete "${words[@]:1:cword}" 2>/dev/null)
    if ((files)); then
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
    fi
} &&
    complete -F _qav_nuva_cli qav-nuva-cli
