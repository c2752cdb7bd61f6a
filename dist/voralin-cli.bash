# Bash completion for voralin-cli. The options and picture types are read from the program's own --help,
# so an option added there completes without touching this file.

_voralin_cli() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --types)
            local known
            known=$("$1" --help 2>/dev/null | sed -n 's/.*comma-separated: \([a-z0-9,]*\).*/\1/p' | tr ',' ' ')
            # Complete the type after the last comma, keeping what stands before it.
            local done_part="" last="$cur"
            if [[ $cur == *,* ]]; then
                done_part="${cur%,*},"
                last="${cur##*,}"
            fi
            COMPREPLY=($(compgen -P "$done_part" -W "$known" -- "$last"))
            # Room for another ",type" after the one completed.
            compopt -o nospace 2>/dev/null
            return
            ;;
        --output)
            _filedir
            return
            ;;
        --min-width | --min-height | --threads)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("$1" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)" -- "$cur"))
        return
    fi

    local word
    for word in "${words[@]}"; do
        if [[ $word == --signature ]]; then
            _filedir
            return
        fi
    done
    _filedir -d
}
complete -F _voralin_cli voralin-cli
