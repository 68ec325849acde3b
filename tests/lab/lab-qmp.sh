# A QMP session with QEMU, for the host side of the unplug scenarios.
# Sourced after `log` (the file QEMU's answers go to) and `fail` are set:
#   qmp_connect SOCKET   waits for the socket and opens the session
#   run JSON             sends one command; status 0 when QEMU accepted it
# qmp_pid is the session's process: it ends when QEMU does.

qmp_connect() {
  local sock=$1 i
  for ((i = 0; i < 600; i++)); do [[ -S $sock ]] && break; sleep 0.1; done
  [[ -S $sock ]] || fail "no QMP socket"
  coproc QMP { socat - "UNIX-CONNECT:$sock" 2>/dev/null; }
  # Our own copies of the pipes: bash drops the coprocess's when it ends, as
  # it does when QEMU ends. Then reads see the end and writes fail.
  qmp_pid=$QMP_PID
  exec {qmp_in}<&"${QMP[0]}" {qmp_out}>&"${QMP[1]}"
  trap '' PIPE
  run '{"execute": "qmp_capabilities"}' || fail "no QMP session"
}

# Reads QEMU's lines up to the answer to the last command; events and the
# greeting only go to the log.
answer() {
  local line
  while IFS= read -r -t 15 line <&"$qmp_in"; do
    echo "$line" >>"$log"
    case $line in
      *'"return"'*) return 0 ;;
      *'"error"'*) return 1 ;;
    esac
  done
  return 1
}

run() {
  echo "$1" >>"$log"
  echo "$1" >&"$qmp_out" 2>/dev/null && answer
}
