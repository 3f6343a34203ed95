# Bash completion for nvtheme: its commands, each command's options, the
# warning names and the folders or packages each command takes.

# The warning names as -W's words, asked of the nvtheme being completed so
# that they are those of that very program.
_nvtheme_warnings() {
  local program=${COMP_WORDS[0]/#\~/$HOME} name _
  [[ $program == */* ]] || program=$(type -P "$program") || return
  "$program" --list-warnings 2>/dev/null | while read -r name _; do
    printf '%s\nno-%s\n' "$name" "$name"
  done
}

_nvtheme() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local command= operands=0 i word
  COMPREPLY=()

  # Bash splits --format=gnu at '=', into "--format", "=" and "gnu".
  if [[ $cur == = && ($prev == --format || $prev == --color) ]]; then
    cur= prev==
  fi
  if [[ $prev == = ]]; then
    case ${COMP_WORDS[COMP_CWORD - 2]} in
      --format) mapfile -t COMPREPLY < <(compgen -W 'gnu json sarif' -- "$cur") && return ;;
      --color) mapfile -t COMPREPLY < <(compgen -W 'auto always never' -- "$cur") && return ;;
    esac
  fi

  # The command, and how many operands come before the word completed;
  # the values of -j, -W, -o and --name are no operands.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      -j | --jobs | -W | --name | -o | --output) ((i++)) ;;
      --format | --color) [[ ${COMP_WORDS[i + 1]} == = ]] && ((i += 2)) ;;
      -*) ;;
      *) if [[ -z $command ]]; then command=$word; else ((operands++)); fi ;;
    esac
  done

  case $prev in
    -j | --jobs | --name) return ;;
    -o | --output)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    -W)
      mapfile -t COMPREPLY < <(compgen -W "error all $(_nvtheme_warnings)" -- "$cur")
      return
      ;;
  esac

  if [[ $cur == -Werror=* || $cur == -Wno-error=* ]]; then
    mapfile -t COMPREPLY < <(compgen -P "${cur%%=*}=" -W "$(_nvtheme_warnings)" -- "${cur#*=}")
    return
  fi
  if [[ $cur == -W* ]]; then
    mapfile -t COMPREPLY < <(compgen -P -W -W "error all $(_nvtheme_warnings)" -- "${cur#-W}")
    return
  fi
  if [[ $cur == -* ]]; then
    local options='--help --version --list-warnings'
    local folders='-W -Wall -Werror -Werror= --warnings-as-errors --no-outside-links --watch'
    folders+=' --quiet --color= --'
    case $command in
      build) options="-j --jobs --output --no-cache $folders" ;;
      check) options="-j --jobs --no-cache --format=gnu --format=json --format=sarif $folders" ;;
      init) options='--name --' ;;
      extract) options='--force --' ;;
      list | verify | cache) options='--' ;;
      lsp) options='--stdio --' ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi

  if [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W 'build check list extract verify init cache lsp' -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  case $command:$operands in
    build:* | check:* | init:0 | extract:1) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
    cache:0) mapfile -t COMPREPLY < <(compgen -W 'clear' -- "$cur") ;;
    # Packages, and the folders on the way to them.
    list:0 | verify:0 | extract:0)
      mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.nvp' -- "$cur")
      ;;
  esac
}
complete -F _nvtheme nvtheme
