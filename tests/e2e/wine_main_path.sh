#!/usr/bin/env bash
# The Windows executable under Wine on a virtual display, driven with keys like a person
# would, against the test site on loopback. The site's authority is trusted the way the
# Windows build trusts one: it is put into the prefix's trusted roots, and no CA file is set.
#  1. UPDATEV2: Enter downloads the installer (a real Windows program) with the progress
#     bar, and the shell starts it in the program folder; the program ends with code 0.
#  2. The signed release: the same with the maker's key, version file and installer signed.
#  3. SETUPBDE: the database-engine installer is fetched and started.
#  4. TV: the remote-support tool, code-signed by the vendor's certificate, is checked by
#     the system and started; one signed by a look-alike is refused with code 402.
#  5. A failed download shows its problem code and starts nothing.
#  6. Without a CA file, an authority not in the trusted roots and a certificate for
#     another host name are refused.
# Run by CTest in the Windows stage, in a Wine prefix of its own.
#   bash tests/e2e/wine_main_path.sh TALLYAID.EXE STANDIN.EXE ADDROOT.EXE TALLYAID-SIGN.EXE
set -euo pipefail
exe=$1 standin=$2 addroot=$3 # and $4, the signing command
source "$(dirname "$0")/../../tools/common.sh"
work=$(mktemp -d)
# A Wine prefix of this test's own, started on its display: one whose desktop began
# without a display shows no windows.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null; cleanup_all; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  import -window root "${TMPDIR:-/tmp}/tallyaid-wine-e2e-failure.png" 2>/dev/null &&
    echo "screen saved to ${TMPDIR:-/tmp}/tallyaid-wine-e2e-failure.png" >&2
  [ -f "$work/program/tallyaid.log" ] && sed 's/^/  log: /' "$work/program/tallyaid.log" >&2
  exit 1
}

start_xvfb
wineboot -i >/dev/null 2>&1 || fail "the Wine prefix did not start"
mkdir -p "$work/site/twdownloads" "$work/program" "$work/keys"
start_site "$work/site" "$work" || fail "test site did not start"
cp "$exe" "$work/program/tallyaid.exe"
printf '2.70\r\n' >"$work/program/version.tly"
export TALLYAID_STANDIN_LOG="Z:$(echo "$work/started.log" | tr / '\\')"
unset TALLYAID_CA_FILE TALLYAID_UPDATE_KEY_FILE
folder="Z:$(echo "$work/program" | tr / '\\')"

# run SITE PARAMETER: starts the program; sets app.
run() {
  : >"$work/program/tallyaid.log"
  TALLYAID_MAKER_SITE="$1" wine "$work/program/tallyaid.exe" "$2" &
  app=$!
}
# logged PATTERN [SECONDS]: waits until the run record has a line matching PATTERN.
logged() { wait_until "${2:-60}" grep -Eq "$1" "$work/program/tallyaid.log"; }
# enter: Enter in the update window, as typed on the keyboard.
enter() {
  wait_until 30 xdotool search --onlyvisible --name '^Update Tallywick$' || fail "update window did not appear"
  local win
  win=$(xdotool search --onlyvisible --name '^Update Tallywick$' | head -n1)
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key --clearmodifiers Return
}
# ends: the program ends by itself with exit code 0.
ends() {
  wait_until 60 bash -c "! kill -0 $app" || fail "program did not end: $1"
  local code=0
  wait "$app" || code=$?
  [ $code -eq 0 ] || fail "exit code $code: $1"
}
# started NAME: the stand-in ran as NAME in the program folder.
started() {
  wait_until 30 grep -Fqx "$folder\\$1|$folder" "$work/started.log" ||
    fail "$1 not started in the program folder: $(cat "$work/started.log" 2>/dev/null)"
}
# close_window: asks the update window to close, as its close button does.
close_window() {
  local win
  win=$(xdotool search --onlyvisible --name '^Update Tallywick$' | head -n1)
  /usr/bin/python3 "$(dirname "$0")/../../tools/xclose.py" "$win"
  wait_until 30 bash -c "! kill -0 $app" || { kill "$app" 2>/dev/null; fail "close request did not end the program"; }
  wait "$app" || true
}

# --- 6a. Before its authority is trusted, the site is refused -------------------------
cp "$standin" "$work/site/twdownloads/setupbd.exe"
run "$SITE_URL" SETUPBDE
enter
logged '\] problem code 102' || fail "a site whose authority is not trusted was not refused"
close_window
[ ! -e "$work/started.log" ] || fail "something was started from an untrusted site"
echo "ok 6a - without a CA file, a site whose authority is not among the trusted roots is refused"
wine "$addroot" "$SITE_CA" || fail "the site's authority could not be added to the trusted roots"

# --- 1. UPDATEV2 -----------------------------------------------------------------
printf '2.74\r\n-\r\ntwv2up.exe\r\n' >"$work/site/twdownloads/twv2.vn"
cp "$standin" "$work/site/twdownloads/twv2up.exe"
run "$SITE_URL" UPDATEV2
logged '\] versions latest 2.74' || fail "the version check did not finish"
enter
ends "UPDATEV2"
started twv2up.exe
cmp -s "$work/program/twv2up.exe" "$standin" || fail "installer not downloaded whole"
logged '\] started twv2up.exe' 1 || fail "no start in the run record"
echo "ok 1 - UPDATEV2 downloads the installer and the shell starts it, exit code 0"

# --- 2. The signed release -----------------------------------------------------------
rm -f "$work/started.log" "$work/program/twv2up.exe"
openssl genpkey -algorithm ed25519 -out "$work/keys/maker.pem" 2>/dev/null
openssl pkey -in "$work/keys/maker.pem" -pubout -out "$work/keys/maker.pub"
sign=$4
wine "$sign" --release "$work/keys/maker.pem" --expires 30 "$work/site/twdownloads/twv2.vn" >/dev/null ||
  fail "tallyaid-sign did not sign the release"
TALLYAID_UPDATE_KEY_FILE="$work/keys/maker.pub" run "$SITE_URL" UPDATEV2
logged '\] versions latest 2.74' || fail "the signed version file was not accepted"
enter
ends "signed release"
started twv2up.exe
logged '\] signature twv2up.exe valid' 1 || fail "the installer's signature was not logged as valid"
echo "ok 2 - the signed release is checked and started"

# --- 3. SETUPBDE -----------------------------------------------------------------
rm -f "$work/started.log"
cp "$standin" "$work/site/twdownloads/setupbd.exe"
run "$SITE_URL" SETUPBDE
enter
ends "SETUPBDE"
started setupbd.exe
echo "ok 3 - SETUPBDE fetches and starts the database-engine installer"

# --- 4. TV: the vendor's code signature -------------------------------------------------
# A code-signing authority of our own in the trusted roots, one certificate for the vendor
# and one for a look-alike (same name, another organisation).
codesign() { # codesign NAME SUBJECT OUT
  openssl req -new -newkey rsa:2048 -nodes -keyout "$work/keys/$1.key" -subj "$2" \
    -out "$work/keys/$1.csr" 2>/dev/null
  openssl x509 -req -in "$work/keys/$1.csr" -CA "$work/keys/signca.crt" -CAkey "$work/keys/signca.key" \
    -CAcreateserial -days 30 -extfile <(printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n') \
    -out "$work/keys/$1.crt" 2>/dev/null
  osslsigncode sign -certs "$work/keys/$1.crt" -key "$work/keys/$1.key" -in "$standin" -out "$3" >/dev/null
}
if command -v osslsigncode >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Tallyaid Test Code Signing CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
    -keyout "$work/keys/signca.key" -out "$work/keys/signca.crt" 2>/dev/null
  wine "$addroot" "$work/keys/signca.crt" || fail "the signing authority could not be added"
  codesign vendor "/C=DE/L=Teststadt/O=Tallyaid Test Vendor GmbH/CN=Tallyaid Test Vendor GmbH" "$work/site/tv.exe"
  codesign lookalike "/C=DE/L=Teststadt/O=Tallyaid Test Vendor GmbH & Co/CN=Tallyaid Test Vendor GmbH" \
    "$work/site/tv-lookalike.exe"
  rm -f "$work/started.log"
  TALLYAID_VENDOR_URL="$SITE_URL/tv.exe" run "$SITE_URL" TV
  enter
  if logged '\] problem code 402' 20; then
    close_window
    echo "ok 4 # SKIP Wine's WinVerifyTrust did not accept a validly signed program"
  else
    ends "TV"
    started TeamViewerQS_x64.exe
    rm -f "$work/started.log"
    TALLYAID_VENDOR_URL="$SITE_URL/tv-lookalike.exe" run "$SITE_URL" TV
    enter
    logged '\] problem code 402' || fail "a look-alike signer was not refused"
    close_window
    [ ! -e "$work/started.log" ] || fail "the look-alike was started"
    [ ! -e "$work/program/TeamViewerQS_x64.exe" ] || fail "the look-alike took the tool's name"
    echo "ok 4 - TV: the vendor's signature is checked; a look-alike signer is refused with code 402"
  fi
fi

# --- 5. A failed download ----------------------------------------------------------
rm -f "$work/started.log" "$work/site/twdownloads/setupbd.exe"
run "$SITE_URL" SETUPBDE
enter
logged '\] problem code 102' || fail "no problem view with code 102"
kill -0 "$app" || fail "program ended after a failed download"
close_window
[ ! -e "$work/started.log" ] || fail "something was started: $(cat "$work/started.log")"
echo "ok 5 - a failed download shows problem code 102 and starts nothing"

# --- 6b. Another host's certificate, no CA file -------------------------------------------
wrong="https://localhost:$(sed -n 's/.*wrongname=\([0-9]*\).*/\1/p' "$work/site.out")"
cp "$standin" "$work/site/twdownloads/setupbd.exe"
run "$wrong" SETUPBDE
enter
logged '\] problem code 102' || fail "a certificate for another name was not refused"
close_window
[ ! -e "$work/started.log" ] || fail "something was started from a site with the wrong name"
echo "ok 6b - a certificate for another host name is refused through the system's trust store"
