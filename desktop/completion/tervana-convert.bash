# Bash completion for tervana-convert, loaded on demand by bash-completion
# from share/bash-completion/completions/tervana-convert.
# shellcheck shell=bash disable=SC2207
# (COMPREPLY=($(compgen ...)) is bash-completion's own idiom; the words offered
# by -W hold no spaces.)

_tervana_convert()
{
    local cur prev words cword split
    _init_completion -s || return

    # Options that take a value: their value, not another option.
    case $prev in
        -o | --output | -output | --files-from | -files-from)
            _filedir
            return
            ;;
        -d | --directory | -directory | --favicon | -favicon | --theme | -theme | --app-icons | -app-icons | \
            --android | -android | --ios | -ios | --msix | -msix | --iconset | -iconset)
            _filedir -d
            return
            ;;
        --sizes | -sizes)
            COMPREPLY=($(compgen -W 'all windows favicon' -- "$cur"))
            return
            ;;
        --platforms | -platforms)
            COMPREPLY=($(compgen -W 'windows macos linux web android ios msix' -- "$cur"))
            return
            ;;
        -j | --jobs | -jobs | --drawing-budget | -drawing-budget | --page | -page | --background | -background | --web-path | -web-path | --name | -name | -h | --help | -help | -v | --version | -version)
            return
            ;;
    esac
    $split && return

    # After --, every word is an input; --list and --extract read icons only.
    local word options=true icons=false
    for word in "${words[@]:1:cword-1}"; do
        case $word in
            --) options=false ;;
            --list | -list | --extract | -extract) icons=true ;;
        esac
    done

    if $options && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--bmp --mono -o --output -d --directory -j
            --jobs --drawing-budget --page --sizes --key-black --cursor --xcursor --ani --icns --favicon --background --web-path --app-icons --platforms --android --background-picture --ios --ios-all --msix --iconset --theme --name --cursor-theme --delay --title --author --hotspot --classic --list --extract
            -r --recursive -L
            --follow-links --files-from -0 --null --progress -q --quiet -h
            --help -v --version' -- "$cur"))
        return
    fi

    # The converter goes by a file's content, but offers what is named as a
    # picture it reads, whatever the case of the extension, and folders.
    local extensions="jpg jpeg jpe jfif gif bmp dib png webp tif tiff tga pbm pgm ppm pnm ico cur ani icns svg svgz jp2 j2k j2c jpc heic heif hif avif psd psb pdf ai"
    $icons && extensions="ico cur ani icns"
    local extension letter pattern="" i
    for extension in $extensions; do
        [[ $pattern ]] && pattern+="|"
        for ((i = 0; i < ${#extension}; i++)); do
            letter=${extension:i:1}
            pattern+="[${letter}${letter^^}]"
        done
    done
    _filedir "$pattern"
} &&
    complete -F _tervana_convert tervana-convert
