# bash completion for xjqt-tarlo
_xjqt_tarlo() {
    local cur prev words cword
    _init_completion || return

    local commands="detect read write verify erase blank program"
    local options="--all --json --quiet --log --allow-overflow --max-differences --driver --help --version"

    case $prev in
        --max-differences)
            return
            ;;
        --driver)
            _filedir so
            return
            ;;
        --log)
            _filedir
            return
            ;;
        --help | -h | --version)
            return
            ;;
    esac

    # The command already given, and whether its FILE is still to come.
    local i command="" operands=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --max-differences | --driver | --log) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                else
                    ((operands++))
                fi
                ;;
        esac
    done

    if [[ $cur == -* ]]; then
        # Only write writes just what changed.
        [[ $command == write ]] && options="$options --changed"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    case $command in
        read | write | verify | program)
            # "-" is standard input (write, verify, program) or standard output (read).
            if ((operands == 0)); then
                _filedir
                [[ -z $cur ]] && COMPREPLY+=(-)
            fi
            ;;
    esac
} &&
    complete -F _xjqt_tarlo xjqt-tarlo
