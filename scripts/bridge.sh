# Starting Corvane.exe under Wine from a script; source this file.
#   start_bridge PORT LOG [PROGRAM]
#                           starts it on PORT (its output in LOG), sets
#                           $bridge to its process id, and returns when it
#                           takes connections; non-zero when the port was
#                           already taken or it did not start. PROGRAM: a
#                           copy of Corvane.exe elsewhere (with the settings
#                           file beside it), default build/win/bin's.
# The caller ends it: kill "$bridge".

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

start_bridge() {
  local port=$1 log=$2 program=${3:-Corvane} top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if port_open "$port"; then
    echo "port $port is taken (a bridge still running?): stop it first" >&2
    return 1
  fi
  CORVANE_PORT=$port "$top/scripts/wine" "$program" </dev/null >"$log" 2>&1 &
  bridge=$!
  for _ in $(seq 150); do
    port_open "$port" && break
    sleep 0.1
  done
  if ! kill -0 "$bridge" 2>/dev/null || ! port_open "$port"; then
    echo "Corvane did not start:" >&2
    iconv -f GBK -t UTF-8 "$log" >&2 || true
    return 1
  fi
}
