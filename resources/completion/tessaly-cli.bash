# Bash completion for tessaly-cli.
#
# The commands and their options come from tessaly-cli's own help (the command
# list of `tessaly-cli --help`, the usage line of `tessaly-cli COMMAND --help`),
# so a new command or option completes without a change here. Account names
# come from `tessaly-cli accounts`. Only options whose values are one of a few
# words are named below.

# The commands, one a line.
_tessaly_cli_commands() {
    "$1" --help 2>/dev/null |
        awk '/^Commands:/ { listing = 1; next } listing && NF == 0 { exit } listing { print $1 }'
}

# The options of a command, one a line: "--name" for a flag, "--name VALUE"
# for one that takes a value, read from the usage line of its help.
_tessaly_cli_options() {
    "$1" "$2" --help 2>/dev/null | awk '
        /^Usage:/ {
            line = $0
            while (match(line, /\[--[a-z0-9-]+( [^]]+)?\]/)) {
                print substr(line, RSTART + 1, RLENGTH - 2)
                line = substr(line, RSTART + RLENGTH)
            }
            exit
        }'
    echo --help
}

# Account names, when there are preferences to read them from (listing them
# must not create the preferences file).
_tessaly_cli_accounts() {
    [[ -f ${XDG_CONFIG_HOME:-$HOME/.config}/Tessaly/Tessaly.conf ]] || return 0
    "$1" accounts 2>/dev/null | cut -f1
}

_tessaly_cli() {
    local cli=${COMP_WORDS[0]} cword=$COMP_CWORD
    local cur=${COMP_WORDS[cword]} prev=
    [[ $cli == "~/"* ]] && cli=$HOME/${cli#"~/"}
    ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}
    # "--account=an": bash splits the word at "=".
    if [[ $cur == = ]]; then
        prev=${COMP_WORDS[cword - 1]}
        cur=
    elif [[ $prev == = ]] && ((cword > 1)); then
        prev=${COMP_WORDS[cword - 2]}
    fi
    COMPREPLY=()

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$(_tessaly_cli_commands "$cli") help --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    if [[ $command == help || $command == --help || $command == -h ]]; then
        ((cword == 2)) && COMPREPLY=($(compgen -W "$(_tessaly_cli_commands "$cli")" -- "$cur"))
        return
    fi

    local options
    options=$(_tessaly_cli_options "$cli" "$command")
    # The value of an option that takes one.
    if [[ $prev == --* ]] && grep -qx -- "$prev [^ ].*" <<<"$options"; then
        case $prev in
        --account) COMPREPLY=($(compgen -W "$(_tessaly_cli_accounts "$cli")" -- "$cur")) ;;
        --location | --to)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            ;;
        --format)
            if [[ $command == search ]]; then
                COMPREPLY=($(compgen -W "text json csv" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "text json" -- "$cur"))
            fi
            ;;
        --name)
            COMPREPLY=($(compgen -W "title filename prefix:" -- "$cur"))
            [[ ${COMPREPLY[*]} == prefix: ]] && compopt -o nospace 2>/dev/null
            ;;
        --size) COMPREPLY=($(compgen -W "original large" -- "$cur")) ;;
        --public | --friend | --family) COMPREPLY=($(compgen -W "0 1" -- "$cur")) ;;
        --comments | --notes) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")) ;;
        --license) COMPREPLY=($(compgen -W "0 1 2 3 4 5 6 7 8 9 10" -- "$cur")) ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(cut -d' ' -f1 <<<"$options")" -- "$cur"))
    fi
}

complete -F _tessaly_cli tessaly-cli
