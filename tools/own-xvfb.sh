# Sourced by the tools that run the game on an X server of their own.
# startOwnXvfb <folder>: Xvfb picks a free display itself and names it (never another
# program's server); echoes "display pid" once the server takes connections, "none pid" when
# it never names one. Its files go into <folder>.
startOwnXvfb() {
  local out=$1 display=""
  Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$out/display" >"$out/xvfb.txt" 2>&1 &
  local server=$!
  for _ in $(seq 1 100); do
    display=$(cat "$out/display" 2>/dev/null)
    [ -n "$display" ] && break
    sleep 0.1
  done
  # The server names its display a moment before it takes connections.
  for _ in $(seq 1 50); do
    [ -n "$display" ] && DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
  done
  echo "${display:-none} $server"
}

# gameUnder <pid>: the game a timing wrapper (/usr/bin/time) started, once it runs; empty when
# none came within 5 s.
gameUnder() {
  local game=""
  for _ in $(seq 1 50); do
    game=$(pgrep -P "$1" | head -n 1)
    [ -n "$game" ] && break
    sleep 0.1
  done
  echo "$game"
}
