# Shared by with-cupsd.sh and start-cupsd.sh: lays out a private CUPS server
# in its own directory. Nothing outside that directory is written, so the
# machine's own CUPS configuration stays untouched and several servers can
# run side by side.

cupsd_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# cupsd_prepare DIR: server root, spool, cache, state and log dirs, the
# tools cupsd runs (system ones linked, the tqp stand-in copied) and configs.
cupsd_prepare() {
  local d=$1 x b
  mkdir -p "$d/conf/ppd" "$d/conf/ssl" "$d/spool/tmp" "$d/cache" "$d/state/certs" \
           "$d/log" "$d/serverbin/backend" "$d/jobs" || return 1
  for x in cgi-bin daemon driver filter monitor notifier; do
    ln -sfn "/usr/lib/cups/$x" "$d/serverbin/$x"
  done
  for b in /usr/lib/cups/backend/*; do
    ln -sfn "$b" "$d/serverbin/backend/"
  done
  # cupsd only runs backends that are root-owned and not writable by others.
  install -o root -g root -m 0755 "$cupsd_here/tqp-backend" "$d/serverbin/backend/tqp" || return 1
  install -o root -g root -m 0755 "$cupsd_here/olvenka-backend" "$d/serverbin/backend/olvenka-cloud-printer" || return 1
  chmod 0755 "$d" "$d/serverbin" "$d/serverbin/backend"
  chmod 1777 "$d/spool/tmp" "$d/jobs"

  cat >"$d/conf/cups-files.conf" <<CONF
ServerRoot $d/conf
ServerBin $d/serverbin
RequestRoot $d/spool
TempDir $d/spool/tmp
CacheDir $d/cache
StateDir $d/state
AccessLog $d/log/access_log
ErrorLog $d/log/error_log
PageLog $d/log/page_log
# Keep the printcap file private too; the default is the machine's own.
Printcap $d/printcap
SystemGroup root
FileDevice No
Sandboxing Relaxed
CONF

  # Tools run with "-h localhost" reach the server on this port through
  # libcups' IPP_PORT; the machine's own port 631 is never used.
  cupsd_port=$(cupsd_free_port) || return 1
  echo "$cupsd_port" >"$d/port"
  cat >"$d/conf/cupsd.conf" <<CONF
Listen $d/cups.sock
Listen localhost:$cupsd_port
LogLevel info
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultEncryption Never
DefaultShared No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
}

# cupsd_free_port: a loopback port nothing listens on.
cupsd_free_port() {
  local port i
  for i in $(seq 1 50); do
    port=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# cupsd_env DIR: extra variables a backend of the private server gets
# (written before launch, e.g. the system bus and the client's spool).
cupsd_env() {
  local d=$1 name
  for name in DBUS_SYSTEM_BUS_ADDRESS OLVENKA_SPOOL_DIR; do
    if [ -n "${!name:-}" ]; then echo "SetEnv $name ${!name}" >>"$d/conf/cups-files.conf"; fi
  done
  return 0
}

# cupsd_launch DIR: starts cupsd in the foreground of a background job with
# its output in the log dir; sets cupsd_pid.
cupsd_launch() {
  local d=$1
  cupsd_env "$d"
  /usr/sbin/cupsd -f -c "$d/conf/cupsd.conf" -s "$d/conf/cups-files.conf" \
    </dev/null >"$d/log/cupsd.out" 2>&1 &
  cupsd_pid=$!
  echo "$cupsd_pid" >"$d/cupsd.pid"
}

# cupsd_alive PID: true while the process runs (a zombie counts as ended).
cupsd_alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# cupsd_wait_ready DIR PID: waits until the scheduler answers on its socket.
cupsd_wait_ready() {
  local d=$1 pid=$2 i
  for i in $(seq 1 200); do
    if ! cupsd_alive "$pid"; then
      echo "cupsd ended during start-up:" >&2
      cat "$d/log/cupsd.out" "$d/log/error_log" >&2 2>/dev/null
      return 1
    fi
    if [ -S "$d/cups.sock" ] &&
       [ "$(CUPS_SERVER=$d/cups.sock /usr/bin/lpstat -r 2>/dev/null)" = "scheduler is running" ]; then
      return 0
    fi
    sleep 0.05
  done
  echo "cupsd did not answer within 10 s" >&2
  return 1
}

# cupsd_stop PID: SIGTERM, then SIGKILL if it has not ended after 10 s.
cupsd_stop() {
  local pid=$1 i
  kill -TERM "$pid" 2>/dev/null || return 0
  for i in $(seq 1 200); do
    cupsd_alive "$pid" || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null
}
