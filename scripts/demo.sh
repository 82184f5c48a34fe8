#!/usr/bin/env bash
# The main job: a complete first installation of Velmora Deluxe's databases in a fresh
# sandbox. By default the server is the bundled SQL Server test double (it speaks TDS but
# executes no SQL) and osql.exe / bcp.exe are the kit-tool stand-in; set TALVORIN_SERVER
# (address,port), TALVORIN_LOGIN and TALVORIN_PASSWORD to use a real SQL Server instead.
#
#   bash scripts/demo.sh              the Linux program, at this terminal
#   bash scripts/demo.sh --windows    the shipped 32-bit Talvorin.exe under Wine, with its windows
#                                     on a display of its own (Xvfb), which it photographs
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows=""
case "${1:-}" in
  "") ;;
  --windows) windows=1 ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac
if [[ -n "$windows" ]]; then
  bash "$root/scripts/build-windows.sh" >/dev/null
  build="$root/build-windows-i686"
else
  bash "$root/scripts/build.sh" >/dev/null
  build="$root/build"
fi

sandbox="$(mktemp -d /tmp/talvorin-demo-XXXXXX)"
kit="$sandbox/WINDOWS/MigKit4"
mkdir -p "$kit" "$sandbox/Srv/BIN" "$sandbox/Srv/Scripts/2008" "$sandbox/Support"
double_pid=""
cleanup() { [[ -n "$double_pid" ]] && kill "$double_pid" 2>/dev/null || true; }
trap cleanup EXIT

login="${TALVORIN_LOGIN:-sa}"
# Under Wine the driver is FreeTDS, which cannot take a "}" beside a ";" (see docs/behaviour-notes.md).
default_password='Velmora;Deluxe=4{x}'
[[ -n "$windows" ]] && default_password='Velmora;Deluxe=4'
password="${TALVORIN_PASSWORD:-$default_password}"
if [[ -n "${TALVORIN_SERVER:-}" ]]; then
  address="${TALVORIN_SERVER%,*}"
  port="${TALVORIN_SERVER##*,}"
  echo "Server: the real SQL Server at $address,$port"
else
  python3 "$root/tests/support/tds_double.py" --port 0 --port-file "$sandbox/double.port" \
    --account "$login:$password" --job ORVO_Schedule_Archive --job ORVO_Daily_Tx_Log_Backup \
    --journal "$sandbox/double.jsonl" --lifetime 300 &
  double_pid=$!
  for _ in $(seq 100); do [[ -s "$sandbox/double.port" ]] && break; sleep 0.1; done
  address=127.0.0.1
  port="$(cat "$sandbox/double.port")"
  echo "Server: the bundled SQL Server TEST DOUBLE on $address,$port (it answers like SQL Server but runs no SQL)"
fi

# The kit: its tools and the scrambled server settings the installer left. On Windows they
# are copies (a program is named after its file) and go into the prefix's C:\windows\MigKit4.
if [[ -n "$windows" ]]; then
  cp "$build/tests/kit_tool_standin.exe" "$kit/osql.exe"
  cp "$build/tests/kit_tool_standin.exe" "$kit/bcp.exe"
else
  ln -s "$build/tests/kit_tool_standin" "$kit/osql.exe"
  ln -s "$build/tests/kit_tool_standin" "$kit/bcp.exe"
fi
python3 - "$kit/Orvo4.DAT" "$login" "$password" "$address" "$port" <<'PY'
import sys
scramble = lambda s: bytes(b ^ 0x1C for b in s.encode()).decode('latin-1')
path, user, password, address, port = sys.argv[1:]
with open(path, 'w', encoding='latin-1', newline='') as f:
    f.write('[DB]\r\n')
    for key, value in (('User', user), ('Password', password), ('IP address', address), ('Port', port)):
        f.write(f'{key}={scramble(value)}\r\n')
PY

# The release's scripts and setup file.
for s in create_databases.sql create_tables.sql create_views.sql 2008/partitioning.sql; do
  echo "-- $s" > "$sandbox/Srv/Scripts/$s"
done
cat > "$sandbox/Support/Setup.ini" <<'INI'
[SCRIPT_2005]
1=create_databases.sql
2=create_tables.sql
3=create_views.sql
[SCRIPT_2008_ADDITIONAL]
1=2008\partitioning.sql
[CODE_TABLE]
1=VELMORA..COUNTRY in Country.dat
2=VELMORA..CURRENCY in Currency.dat
3=VELMORA..PORT in Port.dat
INI

export KIT_TOOL_SLEEP_MS="${KIT_TOOL_SLEEP_MS:-700}"
if [[ -n "$windows" ]]; then
  # Wine's drive Z: is the host's root.
  winpath() { printf 'Z:%s' "${1//\//\\}"; }
  export KIT_TOOL_JOURNAL="$(winpath "$sandbox/tools.journal")"
  export TALVORIN_ODBC_DRIVER="${TALVORIN_ODBC_DRIVER:-FreeTDS}"
  unset TALVORIN_UNATTENDED
  export DEMO_PROGRAM="$build/Talvorin.exe" DEMO_SANDBOX="$sandbox"
  export DEMO_ARGS="301|$(winpath "$sandbox/Srv")|1|$(winpath "$sandbox/Support")|Setup.ini"
  echo
  echo "== Talvorin.exe ${DEMO_ARGS//|/ }   (under Wine's 32-bit loader, /usr/lib/wine/wine)"
  # In a private prefix with a display of its own: the kit goes to C:\windows\MigKit4, the
  # program runs with its windows, a screenshot is taken while the tools run, and the log
  # is copied out before the prefix goes.
  bash "$root/scripts/wine-prefix.sh" bash -c '
    set -euo pipefail
    kit="$WINEPREFIX/drive_c/windows/MigKit4"
    cp -r "$DEMO_SANDBOX/WINDOWS/MigKit4" "$kit"
    IFS="|" read -r -a args <<<"$DEMO_ARGS"
    (cd "$DEMO_SANDBOX" && WINEDEBUG=-all /usr/lib/wine/wine "$DEMO_PROGRAM" "${args[@]}") &
    program=$!
    # The photograph once the second tool has started: the window at work.
    for _ in $(seq 600); do
      if [[ -f "$DEMO_SANDBOX/tools.journal" ]] && (($(grep -c "^run$" "$DEMO_SANDBOX/tools.journal") >= 2)); then
        import -window root "$DEMO_SANDBOX/screenshot.png"
        break
      fi
      kill -0 "$program" 2>/dev/null || break
      sleep 0.1
    done
    wait "$program"
    cp "$kit/system.log" "$DEMO_SANDBOX/WINDOWS/MigKit4/system.log"
  '
  if [[ -f "$sandbox/screenshot.png" ]]; then
    echo "The window during the run: $sandbox/screenshot.png"
  else
    echo "(no screenshot: the run ended before its second tool started)"
  fi
else
  export WINDIR="$sandbox/WINDOWS"
  export TALVORIN_REGISTRY="$sandbox/registry.reg"
  export KIT_TOOL_JOURNAL="$sandbox/tools.journal"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n' > "$TALVORIN_REGISTRY"
  echo
  echo "== talvorin 301 $sandbox/Srv 1 $sandbox/Support Setup.ini"
  (cd "$sandbox" && "$build/talvorin" 301 "$sandbox/Srv" 1 "$sandbox/Support" Setup.ini)
fi
echo
if [[ -n "$windows" ]]; then
  echo "== The setup log, C:\\windows\\MigKit4\\system.log in the prefix (kept as $kit/system.log)"
else
  echo "== The setup log, $kit/system.log"
fi
tr -d '\r' < "$kit/system.log"
echo
echo "== The kit tools were started so (from their journal)"
python3 - "$sandbox/tools.journal" <<'PY'
import os, sys
path = sys.argv[1]
data = open(path, 'rb').read().decode('utf-8', 'replace') if os.path.exists(path) else ''
if not data: print('  (no tool was started)')
pos, run = 0, None
while pos < len(data):
    nl = data.index('\n', pos)
    head = data[pos:nl]
    if head == 'run': run = {'args': []}; pos = nl + 1; continue
    if head == 'end':
        # Windows: the command line exactly as the tool received it.
        line = run.get('cmdline') or ' '.join([run['program']] + [repr(a) if ' ' in a else a for a in run['args']])
        print(' ', line, ' (in', run['cwd'] + ')'); pos = nl + 1; continue
    name, rest = head.split(' ', 1)
    n = int(rest.split(':', 1)[0]); start = pos + len(name) + 1 + len(str(n)) + 1
    value = data[start:start + n]; pos = start + n + 1
    if name == 'arg': run['args'].append(value)
    elif name in ('program', 'cwd', 'cmdline'): run[name] = value
PY
if [[ -n "$double_pid" ]]; then
  echo
  echo "== What reached the server (the double's journal)"
  python3 - "$sandbox/double.jsonl" <<'PY'
import json, sys
# The driver sends the procedure's parameters by position, in its declared order.
declared = ['@job_id', '@job_name', '@originating_server', '@delete_history', '@delete_unused_schedule']
for line in open(sys.argv[1]):
    e = json.loads(line)
    kind = e.get('event')
    if kind == 'login':
        print(f"  login   user={e.get('user')!r} database={e.get('database')!r} ok={e.get('ok')}")
    elif kind == 'rpc':
        params = ', '.join(f"{p.get('name') or (declared[i] if i < len(declared) else '?')}="
                           f"{'NULL' if p.get('null') else repr(p.get('value'))}" for i, p in enumerate(e.get('params', [])))
        print(f"  rpc     {e.get('procedure')}({params})" + (f"  -> error {e['error']}" if e.get('error') else ''))
    elif kind == 'batch':
        print(f"  batch   {e.get('text')!r}")
PY
fi
echo
echo "Sandbox kept at $sandbox"
