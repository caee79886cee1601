# Bash completion of pixmold: its commands, then each command's options, as
# the program itself lists them (pixmold --complete [COMMAND]), so a command
# added to the program completes without an edit here. Anything else (files,
# numbers) falls back to the shell's completion of file names.
_pixmold() {
  local current=${COMP_WORDS[COMP_CWORD]}
  local command="" index
  for ((index = 1; index < COMP_CWORD; index++)); do
    if [[ ${COMP_WORDS[index]} != -* ]]; then
      command=${COMP_WORDS[index]}
      break
    fi
  done
  local words
  if [[ -z $command || $command == help ]]; then
    words=$("${COMP_WORDS[0]}" --complete 2>/dev/null)
  elif [[ $current == -* ]]; then
    words=$("${COMP_WORDS[0]}" --complete "$command" 2>/dev/null)
  else
    COMPREPLY=()
    return
  fi
  mapfile -t COMPREPLY < <(compgen -W "$words" -- "$current")
}
complete -o default -F _pixmold pixmold
