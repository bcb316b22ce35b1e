# shellcheck shell=bash
# Runs a private lighttpd on 127.0.0.1 for the CGI end-to-end tests: the form
# page www/index.html at "/" and a given program at "/velmar.cgi", with its own
# config, logs and writable working folder in a temporary folder. Source it
# from bash; it never touches the system's lighttpd set-up or its service.
#
#   web_start PROGRAM LOGDIR TZ [NAME=VALUE...]   start; sets WEB_URL and more
#   web_stop                                       stop and remove everything
#
# web_start installs an EXIT trap (keeping any EXIT trap already set) so the
# server goes away on every path; a watchdog ends it should the calling shell
# die without running its traps, or after WEB_MAX_SECONDS (default 900).

# shellcheck disable=SC2034 # the WEB_* results are for the caller
WEB_SOURCE_DIR=${VELMAR_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WEB_LIGHTTPD=${WEB_LIGHTTPD:-$(command -v lighttpd || echo /usr/sbin/lighttpd)}
WEB_PID=
WEB_WATCH_PID=
WEB_DIR=

# Refuse what cannot be written into a lighttpd config string unchanged.
web__check_value() {
  case $1 in
    *'"'* | *\\* | *$'\n'*)
      echo "web_start: unsupported character in '$1'" >&2
      return 1 ;;
  esac
}

# web__write_config PORT PROGRAM LOGDIR TZ [NAME=VALUE...]: the server's
# config in $WEB_DIR/lighttpd.conf. The program runs as $WEB_WORKDIR/velmar.cgi
# (a link), so its working folder, where it keeps its temporary index, is
# $WEB_WORKDIR and not the folder the program was built in.
web__write_config() {
  local port=$1 program=$2 logdir=$3 tz=$4 pair env
  shift 4
  env="\"VELMAR_LOGDIR\" => \"$logdir\""
  [ -n "$tz" ] && env+=", \"TZ\" => \"$tz\""
  for pair in "$@"; do
    env+=", \"${pair%%=*}\" => \"${pair#*=}\""
  done
  cat >"$WEB_DIR/lighttpd.conf" <<EOF
server.modules = ("mod_alias", "mod_cgi", "mod_setenv")
server.bind = "127.0.0.1"
server.port = $port
server.document-root = "$WEB_DIR/htdocs"
server.errorlog = "$WEB_DIR/error.log"
server.upload-dirs = ("$WEB_DIR/upload")
server.max-connections = 256
index-file.names = ("index.html")
mimetype.assign = (".html" => "text/html; charset=utf-8")
alias.url = ("/velmar.cgi" => "$WEB_WORKDIR/velmar.cgi")
\$HTTP["url"] == "/velmar.cgi" {
  cgi.assign = ("" => "")
}
cgi.limits = ("read-timeout" => 60, "write-timeout" => 60)
setenv.add-environment = ($env)
EOF
}

# web__ready PORT: 0 once our own server answers with our form page, 1 while
# it is starting, 2 when it has died.
web__ready() {
  kill -0 "$WEB_PID" 2>/dev/null || return 2
  # Another server may hold the port: only our own log says we bound it.
  grep -q 'server started' "$WEB_DIR/error.log" 2>/dev/null || return 1
  curl -sf --max-time 2 "http://127.0.0.1:$1/" 2>/dev/null |
    cmp -s - "$WEB_DIR/htdocs/index.html" && return 0
  return 1
}

# web__launch PORT PROGRAM LOGDIR TZ [NAME=VALUE...]: start lighttpd on PORT
# and wait up to 10 s for it; 0 when up, 1 when it failed, 2 when the port was
# taken.
web__launch() {
  local port=$1 i rc
  web__write_config "$@" || return 1
  "$WEB_LIGHTTPD" -tt -f "$WEB_DIR/lighttpd.conf" >"$WEB_DIR/lighttpd.out" 2>&1 || {
    cat "$WEB_DIR/lighttpd.out" >&2
    return 1
  }
  # The server leads a process group of its own, so that stopping it also
  # ends programs it started and that are still running. A shell with job
  # control gives every background job its own group already.
  if [[ $- == *m* ]]; then
    "$WEB_LIGHTTPD" -D -f "$WEB_DIR/lighttpd.conf" </dev/null >"$WEB_DIR/lighttpd.out" 2>&1 &
  else
    setsid "$WEB_LIGHTTPD" -D -f "$WEB_DIR/lighttpd.conf" </dev/null >"$WEB_DIR/lighttpd.out" 2>&1 &
  fi
  WEB_PID=$!
  for ((i = 0; i < 100; i++)); do
    rc=0
    web__ready "$port" || rc=$?
    [ "$rc" = 0 ] && return 0
    [ "$rc" = 2 ] && break
    sleep 0.1
  done
  web__kill
  if grep -qi 'address already in use' "$WEB_DIR/lighttpd.out" "$WEB_DIR/error.log" 2>/dev/null; then
    return 2
  fi
  echo "web_start: lighttpd did not come up on port $port" >&2
  cat "$WEB_DIR/lighttpd.out" "$WEB_DIR/error.log" >&2 2>/dev/null
  return 1
}

# web__signal SIGNAL PID: signal the server's process group, or the server
# alone while it has none yet.
web__signal() {
  kill "-$1" -- "-$2" 2>/dev/null || kill "-$1" "$2" 2>/dev/null || true
}

# web__kill: end lighttpd and what it started (TERM, then KILL after 5 s) and
# reap it.
web__kill() {
  local i
  [ -n "$WEB_PID" ] || return 0
  web__signal TERM "$WEB_PID"
  for ((i = 0; i < 50; i++)); do
    kill -0 "$WEB_PID" 2>/dev/null || break
    sleep 0.1
  done
  web__signal KILL "$WEB_PID"
  wait "$WEB_PID" 2>/dev/null || true
  WEB_PID=
}

# web__watch: a background guard that ends the server when the calling shell
# is gone or the time limit is reached, and removes the temporary folder when
# the shell died without doing so. It ends itself with the server.
web__watch() {
  local parent=$$ server=$WEB_PID dir=$WEB_DIR limit=${WEB_MAX_SECONDS:-900}
  (
    set +e
    nap=
    trap - EXIT INT
    trap '[ -n "$nap" ] && kill "$nap" 2>/dev/null; exit 0' TERM
    end=$((SECONDS + limit))
    while kill -0 "$parent" 2>/dev/null && kill -0 "$server" 2>/dev/null &&
      [ "$SECONDS" -lt "$end" ]; do
      sleep 1 &
      nap=$!
      wait "$nap"
      nap=
    done
    web__signal TERM "$server"
    if ! kill -0 "$parent" 2>/dev/null; then
      for _ in 1 2 3 4 5 6 7 8 9 10; do
        # Gone, or a zombie that only the shell that died could have reaped.
        [ -r "/proc/$server/stat" ] || break
        [[ $(<"/proc/$server/stat") == *") Z "* ]] && break
        sleep 0.5
      done
      web__signal KILL "$server"
      rm -rf "$dir"
    fi
  ) </dev/null >/dev/null 2>&1 &
  WEB_WATCH_PID=$!
}

# web__trap: run web_stop on exit, before whatever EXIT trap was set already;
# turn INT and TERM into an exit so that the EXIT trap runs for them too.
web__trap() {
  local prev words
  prev=$(trap -p EXIT)
  case $prev in *web_stop*) return 0 ;; esac
  if [ -n "$prev" ]; then
    eval "words=($prev)" # trap -- 'COMMAND' EXIT
    trap -- "web_stop; ${words[2]}" EXIT
  else
    trap -- web_stop EXIT
  fi
  [ -n "$(trap -p INT)" ] || trap -- 'exit 130' INT
  [ -n "$(trap -p TERM)" ] || trap -- 'exit 143' TERM
}

# web_start PROGRAM LOGDIR TZ [NAME=VALUE...]
#   PROGRAM  the CGI program, served as /velmar.cgi
#   LOGDIR   VELMAR_LOGDIR of the program
#   TZ       TZ of the program; empty leaves TZ unset
#   NAME=VALUE  more environment for the program (FAKETIME=..., LD_PRELOAD=...)
# Sets WEB_URL (http://127.0.0.1:PORT/, the form page), WEB_CGI_URL
# (WEB_URL + velmar.cgi), WEB_PORT, WEB_DIR (the temporary folder, with
# error.log) and WEB_WORKDIR (the program's working folder). Returns nonzero
# with the server's messages on stderr when it cannot start.
web_start() {
  local program=$1 logdir=$2 tz=$3 rc arg
  shift 3 || { echo "usage: web_start PROGRAM LOGDIR TZ [NAME=VALUE...]" >&2; return 1; }
  if [ -n "$WEB_PID" ]; then echo "web_start: already running" >&2; return 1; fi
  [ -x "$program" ] || { echo "web_start: $program is not executable" >&2; return 1; }
  [ -x "$WEB_LIGHTTPD" ] || { echo "web_start: lighttpd not found" >&2; return 1; }
  for arg in "$program" "$logdir" "$tz" "$@"; do web__check_value "$arg" || return 1; done
  program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
  web__trap
  WEB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velmar-web.XXXXXX") || return 1
  WEB_WORKDIR=$WEB_DIR/cgi
  mkdir "$WEB_DIR/htdocs" "$WEB_WORKDIR" "$WEB_DIR/upload"
  cp "$WEB_SOURCE_DIR/www/index.html" "$WEB_DIR/htdocs/index.html"
  ln -s "$program" "$WEB_WORKDIR/velmar.cgi"
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    WEB_PORT=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    rc=0
    web__launch "$WEB_PORT" "$program" "$logdir" "$tz" "$@" || rc=$?
    [ "$rc" = 2 ] && continue
    break
  done
  if [ "$rc" != 0 ]; then
    web_stop
    return 1
  fi
  WEB_URL=http://127.0.0.1:$WEB_PORT/
  WEB_CGI_URL=${WEB_URL}velmar.cgi
  web__watch
}

# web_stop: end the server and its watchdog, remove the temporary folder.
# Safe to call more than once.
web_stop() {
  web__kill
  if [ -n "$WEB_WATCH_PID" ]; then
    kill -TERM "$WEB_WATCH_PID" 2>/dev/null || true
    wait "$WEB_WATCH_PID" 2>/dev/null || true
    WEB_WATCH_PID=
  fi
  if [ -n "$WEB_DIR" ] && [ -d "$WEB_DIR" ]; then
    rm -rf "$WEB_DIR"
  fi
  WEB_DIR=
}
