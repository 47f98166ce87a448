# bash completion for usb-corvane and usb-corvane-config: options, their
# values, port numbers and serial devices. Needs nothing but bash.

_usb_corvane_devices() {
  local device
  for device in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM*; do
    [[ -e $device ]] && printf '%s\n' "$device"
  done
}

_usb_corvane() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev= prefix=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "=" usually breaks words: --mode=sm arrives as --mode, =, sm.
  if [[ $cur == = ]]; then
    cur=
  elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == --*=* ]]; then
    prev=${cur%%=*} prefix=${cur%%=*}= cur=${cur#*=}
  fi

  local values=
  case $prev in
    --mode) values="corvane smartmouse" ;;
    --clock) values="3.58 3.68 6.00" ;;
    --reset-delay) values="on off" ;;
    --port) values=$("${COMP_WORDS[0]}" --list-ports 2>/dev/null | awk '/^[0-9]/ { print $1 }') ;;
    --device)
      values=$(_usb_corvane_devices)
      # No adapter plugged in: any path, for a built-in line.
      [[ -n $values ]] || { mapfile -t COMPREPLY < <(compgen -f -- "$cur"); COMPREPLY=("${COMPREPLY[@]/#/$prefix}"); return 0; }
      ;;
    --tries) return 0 ;;
    --trace | --simulate)
      # The scenario after --simulate is optional: options are offered too.
      if [[ $prev == --trace || $cur != -* ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
        return 0
      fi
      ;;
  esac
  if [[ -n $values ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
    COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
    return 0
  fi

  local options="--mode= --clock= --reset-delay= --port= --device= --all --simulate --tries= --trace= --list-ports
                 --json --help --version"
  [[ ${COMP_WORDS[0]##*/} == usb-corvane-config ]] && options="--simulate --trace= --help --version"
  mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  # An option that takes a value waits for it after its "=".
  if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]]; then compopt -o nospace 2>/dev/null; fi
  return 0
}

complete -F _usb_corvane usb-corvane usb-corvane-config
