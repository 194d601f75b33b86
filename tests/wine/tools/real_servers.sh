#!/usr/bin/env bash
# Real network components for the download tests, on loopback, as ordinary
# processes with configurations written here: nginx as the download host
# (https with a certificate that a test can swap, and plain http) and squid
# as a proxy (one port open, one that asks for a Basic password).
#
#   real_servers.sh start DIR PACKAGES HTTPS HTTP PROXY AUTH_PROXY
#   real_servers.sh stop DIR
#   real_servers.sh trust CA COMMAND...   COMMAND in a private mount namespace whose certificate
#                                         store trusts CA (needs the right to make one: root)
#
# DIR holds everything: the certificate authority and the certificates (tls/: good, other_name,
# expired, unknown_authority; served.* is the one nginx shows, read at each handshake), the
# configurations, the pids, the logs (access.log: one line a request) and modes/: a file there
# changes how /prenos/ answers (loop, to_http, to_https, missing). The tests steer nginx by
# copying a certificate to served.* and by creating a mode file.
set -euo pipefail

# A pid of ours only: the file may be stale and the pid taken by another.
stop_pid() {
  local file="$1" name="$2" pid
  [ -f "$file" ] || return 0
  pid="$(head -c 20 "$file" | tr -dc 0-9)"
  if [ -n "$pid" ] && grep -qa "$name" "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}

stop() {
  stop_pid "$1/nginx.started" "$1/nginx.conf" &
  stop_pid "$1/squid.started" "$1/squid.conf" &
  wait
}

# An authority `ca`: its key, its certificate and its openssl ca configuration.
authority() {
  local tls="$1" ca="$2"
  mkdir -p "$tls/$ca.db" && : >"$tls/$ca.db/index.txt" && echo 1000 >"$tls/$ca.db/serial"
  printf '[ca]\ndefault_ca=d\n[d]\ndatabase=%s\nserial=%s\nnew_certs_dir=%s\ncertificate=%s\nprivate_key=%s\ndefault_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n' \
    "$tls/$ca.db/index.txt" "$tls/$ca.db/serial" "$tls/$ca.db" "$tls/$ca.crt" "$tls/$ca.key" >"$tls/$ca.cnf"
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Pelorin test authority $ca" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$tls/$ca.key" -out "$tls/$ca.crt" 2>/dev/null
}

# A certificate `out` for `name` signed by the authority `ca`, valid from `start` to `end`.
issue() {
  local tls="$1" ca="$2" out="$3" name="$4" start="$5" end="${6:-20451231000000Z}"
  openssl req -new -newkey rsa:2048 -nodes -keyout "$tls/$out.key" -subj "/CN=$name" -out "$tls/$out.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n' "$name" >"$tls/$out.ext"
  openssl ca -batch -config "$tls/$ca.cnf" -in "$tls/$out.csr" -out "$tls/$out.crt" -notext \
    -startdate "$start" -enddate "$end" -extfile "$tls/$out.ext" 2>/dev/null
}

certificates() {
  local tls="$1/tls" from=20200101000000Z
  [ -f "$tls/unknown_authority.crt" ] && return 0
  rm -rf "$tls" && mkdir -p "$tls"
  authority "$tls" ca && authority "$tls" stranger
  issue "$tls" ca good localhost $from
  issue "$tls" ca other_name pelorin-other.test $from
  issue "$tls" ca expired localhost $from 20200201000000Z
  issue "$tls" stranger unknown_authority localhost $from
}

write_configurations() {
  local dir="$1" packages="$2" https="$3" http="$4" proxy="$5" auth="$6" t
  mkdir -p "$dir/modes" "$dir/temp"
  # The locations of both of nginx's servers: the product's address, a folder
  # of files, and two addresses that send to each other.
  cat >"$dir/locations.conf" <<CONF
root $packages;
location /prenos/ {
  if (-f $dir/modes/loop) { return 302 /loop/a; }
  if (-f $dir/modes/to_http) { return 302 http://localhost:$http/files/signed/\$arg_paket; }
  if (-f $dir/modes/to_https) { return 302 https://localhost:$https/files/signed/\$arg_paket; }
  if (-f $dir/modes/missing) { return 404; }
  try_files /signed/\$arg_paket =404;
}
location /files/ { alias $packages/; }
location = /loop/a { return 302 /loop/b; }
location = /loop/b { return 302 /loop/a; }
CONF
  cat >"$dir/nginx.conf" <<CONF
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log info;
events { worker_connections 256; }
http {
  log_format requests '\$server_port\t\$request\t\$status\t\$body_bytes_sent\t\$msec';
  access_log $dir/access.log requests;
  default_type application/x-msi;
$(for t in client_body proxy fastcgi uwsgi scgi; do echo "  ${t}_temp_path $dir/temp/$t;"; done)
  # A path with a variable is read at each handshake: a test swaps the file.
  map \$server_port \$served { default $dir/tls/served; }
  server {
    listen 127.0.0.1:$https ssl;
    ssl_certificate \$served.crt;
    ssl_certificate_key \$served.key;
    include $dir/locations.conf;
  }
  server { listen 127.0.0.1:$http; include $dir/locations.conf; }
}
CONF
  # squid's password port: the user "tamaris" with the password "Proxy-Pass1".
  printf 'tamaris:%s\n' "$(openssl passwd -apr1 Proxy-Pass1)" >"$dir/htpasswd"
  cat >"$dir/squid.conf" <<CONF
http_port 127.0.0.1:$proxy name=open
http_port 127.0.0.1:$auth name=auth
pid_filename $dir/squid.pid
access_log stdio:$dir/squid-access.log
cache_log $dir/squid-cache.log
cache_store_log none
netdb_filename none
coredump_dir $dir
cache deny all
shutdown_lifetime 1 seconds
visible_hostname pelorin-test
auth_param basic program /usr/lib/squid/basic_ncsa_auth $dir/htpasswd
auth_param basic realm Pelorin test proxy
acl password_port myportname auth
acl users proxy_auth REQUIRED
http_access deny password_port !users
http_access allow localhost
http_access deny all
CONF
}

wait_port() {
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.1; done
  echo "nothing listens on port $1" >&2 && return 1
}

start() {
  local dir="$1" packages="$2"
  mkdir -p "$dir"
  dir="$(cd "$dir" && pwd)" packages="$(cd "$packages" && pwd)"
  stop "$dir"  # what an earlier run that was cut short left
  certificates "$dir"
  cp "$dir/tls/good.crt" "$dir/tls/served.crt" && cp "$dir/tls/good.key" "$dir/tls/served.key"
  rm -f "$dir"/modes/* "$dir"/*.log
  write_configurations "$dir" "$packages" "$3" "$4" "$5" "$6"
  # Workers and squid run as another user when started as root.
  chmod -R a+rX "$dir" "$packages"
  if [ "$(id -u)" -eq 0 ] && id proxy >/dev/null 2>&1; then chown proxy "$dir"; fi
  nginx -p "$dir" -c "$dir/nginx.conf" -g 'daemon off;' </dev/null >>"$dir/nginx.out" 2>&1 &
  echo $! >"$dir/nginx.started"
  squid -N -f "$dir/squid.conf" </dev/null >>"$dir/squid.out" 2>&1 &
  echo $! >"$dir/squid.started"
  wait_port "$3" && wait_port "$4" && wait_port "$5" && wait_port "$6" || { stop "$dir"; exit 1; }
}

# Inside the namespace: copies of the certificate stores (beside the authority) mounted over the
# host's, the authority added to them; the host's own are never touched, and the mounts end with
# the namespace. Wine's processes read the store as they start; those that COMMAND starts start
# here, whether the wineserver runs inside or outside.
trust() {
  local ca="$1" copy
  copy="$(dirname "$ca")/store" && shift
  rm -rf "$copy" && mkdir -p "$copy/local"
  cp -a /etc/ssl/certs "$copy/certs"
  cp -a /usr/local/share/ca-certificates/. "$copy/local/" 2>/dev/null || true
  cp "$ca" "$copy/local/pelorin-test-authority.crt"
  mount --bind "$copy/certs" /etc/ssl/certs
  mount --bind "$copy/local" /usr/local/share/ca-certificates
  update-ca-certificates >/dev/null 2>&1
  exec "$@"
}

case "${1:-}" in
  start) shift; start "$@" ;;
  stop) stop "$(cd "$2" 2>/dev/null && pwd || echo "$2")" ;;
  trust)
    [ -n "${PELORIN_TRUST_NAMESPACE:-}" ] || exec env PELORIN_TRUST_NAMESPACE=1 unshare -m --propagation private bash "$0" "$@"
    shift; trust "$@" ;;
  *) echo "usage: $0 start DIR PACKAGES HTTPS HTTP PROXY AUTH_PROXY | stop DIR | trust CA COMMAND..." >&2; exit 2 ;;
esac
