# bash completion for rondix

_rondix()
{
    local cur prev words cword
    _init_completion || return

    local cmd="" sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *)
                if [[ -z $cmd ]]; then cmd=${words[i]}
                elif [[ -z $sub ]]; then sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        -o|--output)
            _filedir
            return ;;
        --app|--url)
            return ;;
    esac

    case $cmd in
        "")
            COMPREPLY=($(compgen -W 'summon settings ring market --help --version' -- "$cur"))
            ;;
        ring)
            case $sub in
                "") COMPREPLY=($(compgen -W 'validate export import --help' -- "$cur")) ;;
                validate|import) _filedir '@(rondix|json)' ;;
                export) COMPREPLY=($(compgen -W '--app --output -o' -- "$cur")) ;;
            esac
            ;;
        market)
            case $sub in
                "") COMPREPLY=($(compgen -W 'list install --help' -- "$cur")) ;;
                list|install) COMPREPLY=($(compgen -W '--url' -- "$cur")) ;;
            esac
            ;;
    esac
}
complete -F _rondix rondix
