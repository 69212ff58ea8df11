# Two Syncthing instances on the loopback address, "a" and "b", sharing one
# folder, driven through their REST interface. Sourced by bash scripts:
#
#   st_pair_start WORKDIR FOLDER_A FOLDER_B   homes, keys and configs under WORKDIR
#   st_offline / st_online                    each pauses / resumes the other device
#   st_converge [WHAT]                        scans both, waits until they agree
#   st_pair_stop                              stops both (also run by the EXIT trap)
#
# Nothing leaves the machine: both listen on 127.0.0.1 only, on ports free at
# run time, know each other by ID at a fixed address, and have discovery,
# relays, NAT traversal, STUN, usage reports, crash reports and upgrades off.
# Folders are scanned on request only (no watcher, no timed rescans), so a
# test decides when a change is offered to the other side.

# Each instance's settings are variables named after it (ST_GUI_a, ST_ID_b...),
# set and read by name.
# shellcheck disable=SC2034,SC2154
ST_FOLDER_ID=kakeibo
# Generous: two instances under sanitizers on a shared, busy machine.
ST_TIMEOUT=${ST_TIMEOUT:-120}
st_ports_taken=""
st_pids=""

st_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Sets ST_PORT to a loopback port that nothing answers on and that this run
# has not handed out yet. Syncthing binds it a moment later; a start that
# loses that race is retried by st_start_one with new ports.
st_pick_port() {
  local p
  while :; do
    p=$((20000 + RANDOM % 40000))
    case " $st_ports_taken " in *" $p "*) continue ;; esac
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      st_ports_taken="$st_ports_taken $p"
      ST_PORT=$p
      return
    fi
  done
}

# st_api NAME METHOD PATH: the response body on standard output. The proxy
# settings of the environment are ignored: every request goes to 127.0.0.1.
st_api() {
  local gui="ST_GUI_$1" key="ST_KEY_$1"
  curl -sS --fail --noproxy '*' --max-time 60 -X "$2" -H "X-API-Key: ${!key}" \
    "http://127.0.0.1:${!gui}$3"
}

# A number or word field of a JSON answer (Syncthing indents its answers,
# one field per line): st_field NAME JSON.
st_field() {
  printf '%s\n' "$2" | sed -n "s/^ *\"$1\": *\"\{0,1\}\([^\",]*\)\"\{0,1\},\{0,1\}$/\1/p" | head -n 1
}

# st_poll SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; fails the
# test naming WHAT once SECONDS have passed.
st_poll() {
  local limit=$1 what=$2
  shift 2
  local end=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || {
      st_report
      st_fail "timed out after ${limit}s waiting for: $what"
    }
    sleep 0.2
  done
}

# st_write_config NAME FOLDER: cert, key and a config of our own for one instance.
st_write_config() {
  local name=$1 folder=$2 home="$st_work/st-$1"
  mkdir -p "$home" "$folder/.stfolder"
  local out
  out=$(HOME="$home" syncthing generate --home="$home" --no-default-folder --skip-port-probing 2>&1) ||
    st_fail "syncthing generate for $name: $out"
  local id
  id=$(printf '%s\n' "$out" | sed -n 's/^.*Device ID: *\([A-Z0-9-]*\).*$/\1/p' | head -n 1)
  [ -n "$id" ] || st_fail "no device ID from syncthing generate: $out"
  eval "ST_ID_$name=\$id ST_HOME_$name=\$home ST_FOLDER_$name=\$folder"
  local key
  key=$(head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n')
  eval "ST_KEY_$name=\$key"
}

st_render_config() {
  local name=$1 other=$2
  local id="ST_ID_$name" oid="ST_ID_$other" home="ST_HOME_$name" folder="ST_FOLDER_$name"
  local gui="ST_GUI_$name" listen="ST_LISTEN_$name" olisten="ST_LISTEN_$other" key="ST_KEY_$name"
  cat >"${!home}/config.xml" <<EOF
<configuration version="36">
    <folder id="$ST_FOLDER_ID" label="$ST_FOLDER_ID" path="${!folder}" type="sendreceive" rescanIntervalS="0" fsWatcherEnabled="false" fsWatcherDelayS="10" ignorePerms="false" autoNormalize="true">
        <filesystemType>basic</filesystemType>
        <device id="${!id}" introducedBy=""></device>
        <device id="${!oid}" introducedBy=""></device>
        <minDiskFree unit="%">0</minDiskFree>
        <maxConflicts>10</maxConflicts>
        <markerName>.stfolder</markerName>
    </folder>
    <device id="${!id}" name="pc-$name" compression="metadata" introducer="false">
        <address>dynamic</address>
    </device>
    <device id="${!oid}" name="pc-$other" compression="metadata" introducer="false">
        <address>tcp://127.0.0.1:${!olisten}</address>
        <autoAcceptFolders>false</autoAcceptFolders>
    </device>
    <gui enabled="true" tls="false" debugging="false">
        <address>127.0.0.1:${!gui}</address>
        <apikey>${!key}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:${!listen}</listenAddress>
        <globalAnnounceServer></globalAnnounceServer>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <relaysEnabled>false</relaysEnabled>
        <startBrowser>false</startBrowser>
        <natEnabled>false</natEnabled>
        <urAccepted>-1</urAccepted>
        <urURL></urURL>
        <urInitialDelayS>86400</urInitialDelayS>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <releasesURL></releasesURL>
        <crashReportingEnabled>false</crashReportingEnabled>
        <crashReportingURL></crashReportingURL>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <stunKeepaliveMinS>0</stunKeepaliveMinS>
        <stunServer></stunServer>
        <announceLANAddresses>false</announceLANAddresses>
        <setLowPriority>false</setLowPriority>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
        <restartOnWakeup>false</restartOnWakeup>
    </options>
</configuration>
EOF
}

st_alive() { kill -0 "$1" 2>/dev/null; }

st_answers() { st_api "$1" GET /rest/system/ping >/dev/null 2>&1; }

# Starts one instance; 0 once its REST interface answers, 1 when it died
# first (a port taken meanwhile).
st_start_one() {
  local name=$1 home="ST_HOME_$1"
  STNOUPGRADE=1 STNORESTART=1 STNODEFAULTFOLDER=1 HOME="${!home}" \
    syncthing serve --home="${!home}" --no-browser --no-restart --no-upgrade \
    >"${!home}/log" 2>&1 &
  local pid=$!
  eval "ST_PID_$name=\$pid"
  st_pids="$st_pids $pid"
  local end=$((SECONDS + ST_TIMEOUT))
  until st_answers "$name"; do
    st_alive "$pid" || return 1
    [ "$SECONDS" -lt "$end" ] || st_fail "syncthing $name did not answer in ${ST_TIMEOUT}s: $(tail -n 20 "${!home}/log")"
    sleep 0.2
  done
}

st_connected_to() { # st_connected_to NAME OTHER
  local oid="ST_ID_$2" json
  json=$(st_api "$1" GET /rest/system/connections) || return 1
  printf '%s\n' "$json" | sed -n "/\"${!oid}\"/,/}/p" | grep -q '"connected": true'
}

st_disconnected_from() {
  ! st_connected_to "$1" "$2"
}

st_pair_start() {
  st_work=$1
  command -v syncthing >/dev/null 2>&1 || st_fail "syncthing is missing (scripts/install-deps.sh installs it)"
  command -v curl >/dev/null 2>&1 || st_fail "curl is missing (scripts/install-deps.sh installs it)"
  st_write_config a "$2"
  st_write_config b "$3"
  local tries=0
  while :; do
    tries=$((tries + 1))
    st_pick_port
    ST_GUI_a=$ST_PORT
    st_pick_port
    ST_GUI_b=$ST_PORT
    st_pick_port
    ST_LISTEN_a=$ST_PORT
    st_pick_port
    ST_LISTEN_b=$ST_PORT
    st_render_config a b
    st_render_config b a
    if st_start_one a && st_start_one b; then break; fi
    st_pair_stop
    [ "$tries" -lt 3 ] || st_fail "syncthing would not start: $(tail -n 20 "$ST_HOME_a/log" "$ST_HOME_b/log")"
  done
  # Should this script be killed outright (no trap runs), the engines go too.
  local self=$$ engines=$st_pids
  (
    trap - EXIT
    while kill -0 "$self" 2>/dev/null; do sleep 1; done
    # shellcheck disable=SC2086
    kill $engines 2>/dev/null
  ) </dev/null >/dev/null 2>&1 &
  st_watchdog=$!
  st_poll "$ST_TIMEOUT" "the two instances to connect" st_both_connected
}

st_both_connected() { st_connected_to a b && st_connected_to b a; }

# Every instance that was started, stopped: politely, then for good.
st_pair_stop() {
  local pid
  for pid in $st_pids; do
    st_alive "$pid" && kill "$pid" 2>/dev/null
  done
  for pid in $st_pids; do
    local n=0
    while st_alive "$pid" && [ "$n" -lt 50 ]; do
      sleep 0.1
      n=$((n + 1))
    done
    st_alive "$pid" && kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  st_pids=""
  if [ -n "${st_watchdog:-}" ]; then
    kill "$st_watchdog" 2>/dev/null
    wait "$st_watchdog" 2>/dev/null
    st_watchdog=""
  fi
}

# "Offline": each instance pauses the other, so nothing passes either way.
st_offline() {
  st_api a POST "/rest/system/pause?device=$ST_ID_b" >/dev/null || st_fail "pausing pc-b on a"
  st_api b POST "/rest/system/pause?device=$ST_ID_a" >/dev/null || st_fail "pausing pc-a on b"
  st_poll "$ST_TIMEOUT" "the two instances to part" st_both_disconnected
}

st_both_disconnected() { st_disconnected_from a b && st_disconnected_from b a; }

st_online() {
  st_api a POST "/rest/system/resume?device=$ST_ID_b" >/dev/null || st_fail "resuming pc-b on a"
  st_api b POST "/rest/system/resume?device=$ST_ID_a" >/dev/null || st_fail "resuming pc-a on b"
  st_poll "$ST_TIMEOUT" "the two instances to reconnect" st_both_connected
}

# What a folder holds: one line per file, its checksum and path, sorted;
# Syncthing's own marker and temporary files left out.
st_tree() {
  (cd "$1" && find . -type f ! -path './.stfolder/*' ! -path './.stversions/*' \
    ! -name '.syncthing.*.tmp' ! -name '~syncthing~*.tmp' -print0 |
    LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

st_side_done() { # st_side_done NAME OTHER: NAME has all it needs and knows OTHER has too
  local oid="ST_ID_$2" status completion
  status=$(st_api "$1" GET "/rest/db/status?folder=$ST_FOLDER_ID") || return 1
  [ "$(st_field state "$status")" = idle ] || return 1
  [ "$(st_field needTotalItems "$status")" = 0 ] || return 1
  completion=$(st_api "$1" GET "/rest/db/completion?folder=$ST_FOLDER_ID&device=${!oid}") || return 1
  [ "$(st_field completion "$completion")" = 100 ] || return 1
  [ "$(st_field needItems "$completion")" = 0 ] || return 1
  [ "$(st_field needDeletes "$completion")" = 0 ]
}

st_agree() {
  st_side_done a b && st_side_done b a || return 1
  [ "$(st_tree "$ST_FOLDER_a")" = "$(st_tree "$ST_FOLDER_b")" ] && return 0
  # Both idle yet different: a file appeared after the last scan (a
  # conflict copy the puller made), so look again.
  st_scan_both
  return 1
}

st_scan_both() {
  st_api a POST "/rest/db/scan?folder=$ST_FOLDER_ID" >/dev/null || st_fail "scan on a"
  st_api b POST "/rest/db/scan?folder=$ST_FOLDER_ID" >/dev/null || st_fail "scan on b"
}

# Shows where the two stand, for a failure message.
st_report() {
  echo "--- pc-a folder:" >&2
  st_tree "$ST_FOLDER_a" >&2
  echo "--- pc-b folder:" >&2
  st_tree "$ST_FOLDER_b" >&2
  local n
  for n in a b; do
    echo "--- syncthing $n status:" >&2
    st_api "$n" GET "/rest/db/status?folder=$ST_FOLDER_ID" 2>&1 | grep -E '"(state|needTotalItems|error)"' >&2
    local h="ST_HOME_$n"
    grep -E 'WARNING|INFO: (Puller|Failed)' "${!h}/log" 2>/dev/null | tail -n 5 >&2
  done
}

# Both scan now (a scan request returns when the scan is done), then both
# have everything the other has and their folders hold the same bytes.
st_converge() {
  local what=${1:-the two folders to agree}
  st_scan_both
  st_poll "$ST_TIMEOUT" "$what" st_agree
}
