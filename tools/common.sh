# Shared shell helpers for the demo, the end-to-end checks and the screenshots.
# Source it; every function cleans up through the caller's EXIT trap (cleanup_all).

TALLYAID_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
_cleanup_pids=()

cleanup_all() {
  for pid in "${_cleanup_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${_cleanup_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
wait_until() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# start_site ROOT WORKDIR: serves ROOT over HTTPS on loopback; sets SITE_URL and SITE_CA.
start_site() {
  local root=$1 work=$2
  python3 "$TALLYAID_ROOT/tools/testsite/testsite.py" --root "$root" --cert-dir "$work/certs" >"$work/site.out" 2>"$work/site.err" &
  _cleanup_pids+=($!)
  wait_until 30 grep -q READY "$work/site.out" || { cat "$work/site.err" >&2; return 1; }
  SITE_URL="https://localhost:$(sed -n 's/.*https=\([0-9]*\).*/\1/p' "$work/site.out")"
  SITE_CA="$(sed -n 's/.* ca=\(.*\)$/\1/p' "$work/site.out")"
}

# start_xvfb: a virtual display of our own; sets DISPLAY. Xvfb picks a free display number
# itself and says which (-displayfd), so a server that is still going away elsewhere is
# never mistaken for ours. -noreset: the server would otherwise reset whenever its last
# client leaves, refusing the next program for a moment.
start_xvfb() {
  local out
  out=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$out" >/dev/null 2>&1 &
  _cleanup_pids+=($!)
  if ! wait_until 20 test -s "$out"; then
    rm -f "$out"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$out" | tr -dc 0-9)"
  rm -f "$out"
  wait_until 20 xdpyinfo
}

# window_pixel WINDOW X Y: the colour of one pixel of a window, as #RRGGBB.
window_pixel() {
  import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null | sed -n 's/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | head -n1
}

# pixel_is WINDOW X Y COLOUR: whether that pixel of the window has that colour now.
pixel_is() {
  [ "$(window_pixel "$1" "$2" "$3")" = "$4" ]
}

# find_nginx WORKDIR: sets NGINX to an nginx binary. One already on the machine is used as
# it is; otherwise Debian's package is unpacked into WORKDIR (not installed), so no system
# service is ever created, started or stopped for us.
find_nginx() {
  local work=$1
  if command -v nginx >/dev/null 2>&1; then NGINX=$(command -v nginx); return 0; fi
  for p in /usr/sbin/nginx /sbin/nginx; do [ -x "$p" ] && { NGINX=$p; return 0; }; done
  mkdir -p "$work/nginx-pkg"
  (cd "$work/nginx-pkg" && apt-get download nginx >/dev/null 2>&1) || {
    echo "cannot download Debian's nginx package (try: apt-get update)" >&2; return 1; }
  dpkg-deb -x "$work"/nginx-pkg/nginx_*.deb "$work/nginx-root"
  NGINX="$work/nginx-root/usr/sbin/nginx"
}
