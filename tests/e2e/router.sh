#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A host behind a real home router (miniupnpd over nftables NAT, in network
# namespaces) opens its port by UPnP; the remote knows only the router's
# public address. Without the forwarding the call times out, with it speech
# passes both ways; a lost forwarding is mended; it is gone after going
# offline and after SIGTERM; a router with NAT-PMP only serves too; without
# miniupnpd the host still goes online. Over IPv6 the router routes without NAT
# and its firewall drops what comes in: the host opens a pinhole (UPnP IGD 2)
# with the same lifecycle, and a remote outside calls the host's own address.
#   host 10.1.0.2 ── 10.1.0.1 [router] 11.22.33.1 ── 11.22.33.2 remote
#   2001:db8:1::2 ── 2001:db8:1::1     2001:db8:2::1 ── 2001:db8:2::2
E2E_PORT=29570 E2E_HOST_ADDR=10.1.0.2 E2E_REMOTE_ADDR=11.22.33.2 E2E_CALL_ADDR=11.22.33.1
source "$(dirname "$0")/e2e-common.sh"

[ "$(id -u)" = 0 ] || skip "needs root for network namespaces"
for tool in ip nft miniupnpd upnpc Xvfb xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
lan="tsu$$l" rtr="tsu$$g" wan="tsu$$w"
for ns in "$lan" "$rtr" "$wan"; do
  ip netns add "$ns" 2>"$E2E_SCRATCH/netns.err" || skip "no network namespaces: $(cat "$E2E_SCRATCH/netns.err")"
  E2E_CLEANUPS+=("ip netns delete $ns")
  ip -n "$ns" link set lo up
done
ip link add l0 netns "$lan" type veth peer name l1 netns "$rtr"
ip link add w0 netns "$rtr" type veth peer name w1 netns "$wan"
# 11.22.33.3 calls while nothing is forwarded: the router's conntrack would
# keep that caller's datagrams away from a forwarding made later.
for a in "$lan l0 10.1.0.2" "$rtr l1 10.1.0.1" "$rtr w0 11.22.33.1" "$wan w1 11.22.33.2" "$wan w1 11.22.33.3"; do
  set -- $a
  ip -n "$1" addr add "$3/24" dev "$2" && ip -n "$1" link set "$2" up
done
for a in "$lan l0 1::2" "$rtr l1 1::1" "$rtr w0 2::1" "$wan w1 2::2" "$wan w1 2::3"; do
  set -- $a && ip -n "$1" addr add "2001:db8:$3/64" dev "$2" nodad
done
ip -n "$lan" route add default via 10.1.0.1
ip -n "$lan" -6 route add default via 2001:db8:1::1
ip -n "$wan" -6 route add default via 2001:db8:2::1
ip netns exec "$rtr" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1
ip netns exec "$rtr" nft -f - <<'EOF'
table inet filter {
  chain forward { type filter hook forward priority 0; policy drop;
    ct state established,related accept; iifname "l1" oifname "w0" accept; jump miniupnpd; }
  chain miniupnpd { }
  chain prerouting { type nat hook prerouting priority -100; jump prerouting_miniupnpd; }
  chain postrouting { type nat hook postrouting priority 100; jump postrouting_miniupnpd; oifname "w0" meta nfproto ipv4 masquerade; }
  chain prerouting_miniupnpd { }
  chain postrouting_miniupnpd { }
}
EOF
printf '%s\n' ext_ifname=w0 listening_ip=l1 ext_ip=11.22.33.1 port=0 enable_natpmp=no secure_mode=yes \
  uuid=3f1c2a6e-17aa-4c1e-9d0e-2b7f0c8e1717 'allow 1024-65535 10.1.0.0/24 1024-65535' \
  'deny 0-65535 0.0.0.0/0 0-65535' >"$E2E_SCRATCH/miniupnpd.conf"
start_router() {
  ip netns exec "$rtr" miniupnpd -f "$E2E_SCRATCH/miniupnpd.conf" -d -P "$E2E_SCRATCH/miniupnpd.pid" >>"$E2E_SCRATCH/miniupnpd.log" 2>&1 &
  miniupnpd_pid=$!
  track "$miniupnpd_pid"
}
start_router
exec {fd}>"$E2E_SCRATCH/display"
Xvfb -displayfd "$fd" -nolisten tcp >"$E2E_SCRATCH/xvfb.out" 2>&1 &
track $!
exec {fd}>&-
expect "$E2E_SCRATCH/display" '^[0-9]+$' 15 "Xvfb starts"
display=":$(cat "$E2E_SCRATCH/display")"

# rules WHEN: the router's forwarding as nftables and UPnP list it, for the record.
rules() {
  { ip netns exec "$rtr" nft list table inet filter; ip netns exec "$lan" upnpc -l; } >"$E2E_SCRATCH/rules-$1.out" 2>&1
  e2e_log "router rules $1:" && grep -E 'dnat|masquerade|UDP |ExternalIPAddress|@nh' "$E2E_SCRATCH/rules-$1.out"
}
forwarded() { ip netns exec "$rtr" nft list chain inet filter prerouting_miniupnpd | grep -q "dport $E2E_PORT dnat ip to 10.1.0.2:$E2E_PORT"; }
# The pinhole: to 2001:db8:1::2 (bytes 24 to 40 of the IPv6 header), UDP (17).
pinholed() { ip netns exec "$rtr" nft list chain inet filter miniupnpd | grep -q "dport $E2E_PORT @nh,192,128 0x20010db8000100000000000000000002 @nh,48,8 0x11 accept"; }
expect_rule() { # forwarded|pinholed yes|no WHAT
  for ((i = 0; i < 100; i++)); do
    if "$1"; then [ "$2" = yes ] && return 0; else [ "$2" = no ] && return 0; fi
    sleep 0.1
  done
  rules failed; fail "$3"
}
expect_forwarding() { expect_rule forwarded "$@"; }
expect_pinhole() { expect_rule pinholed "$@"; }
# The same host called at its own IPv6 address, brackets and all as an operator types it.
printf 'ConnectName=Six&Description=Over IPv6&IP Address=[2001:db8:1::2]&PortNo=%s&UserName=demo&Password=%s\r\n' \
  "$E2E_PORT" "$E2E_PASSWORD" >>"$E2E_REMOTE_DIR/Connect.dat"
option() { local d="$E2E_SCRATCH/home/HALVORN Corporation"; mkdir -p "$d"; printf '[Router]\nOpenPortByUPnP=%s\n' "$1" >"$d/TESSORA-H.conf"; }
start_host() { E2E_HOST_LOG="$E2E_SCRATCH/$1.log"; host "${@:2}"; host_pid=$E2E_HOST_PID; }
export TESSORA_UPNP=on
# The host binds no address, so its one socket takes IPv4 and IPv6 calls alike.
E2E_HOST_ENV=(XDG_CONFIG_HOME="$E2E_SCRATCH/home" TESSORA_UPNP_CHECK_SECONDS=2 DISPLAY="$display" QT_QPA_PLATFORM=xcb
  TAVRINO_BIND_ADDRESS=)
E2E_HOST_WRAP=(ip netns exec "$lan") E2E_REMOTE_WRAP=(ip netns exec "$wan")
for ((i = 0; i < 20; i++)); do ip netns exec "$lan" upnpc -s 2>&1 | grep -q 'ExternalIPAddress = 11\.22\.33\.1' && break; sleep 0.2; done

rules before
! forwarded || fail "the router forwards the port before anyone asked"
! pinholed || fail "the router has a pinhole before anyone asked"
e2e_log "option off: nothing is forwarded, no pinhole: both calls time out"
option false
start_host host-off silence null
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"
E2E_REMOTE_ADDR=2001:db8:2::3 E2E_REMOTE_LOG="$E2E_SCRATCH/remote6-off.log" remote Six silence null
remote6_pid=$E2E_REMOTE_PID
E2E_REMOTE_ADDR=11.22.33.3 E2E_REMOTE_LOG="$E2E_SCRATCH/remote-off.log"
remote Demo silence null
expect "$E2E_REMOTE_LOG" '^status 50: ' 30 "a call to an unforwarded port times out"
expect "$E2E_SCRATCH/remote6-off.log" '^status 50: ' 5 "a call through the closed IPv6 firewall times out"
expect_none "$E2E_HOST_LOG" '^(call from|router: )' "the call or the router reached the host"
stop "$E2E_REMOTE_PID" "the remote" && stop "$remote6_pid" "the IPv6 remote" && stop "$host_pid" "the host"

e2e_log "option on: the host opens its port, the call connects"
option true
E2E_REMOTE_ADDR=11.22.33.2 E2E_REMOTE_LOG="$E2E_SCRATCH/remote.log"
start_host host "file:$HOST_SAYS" "file:$E2E_SCRATCH/host-heard.wav"
expect "$E2E_HOST_LOG" "^router: Port $E2E_PORT is open on the router at 11\.22\.33\.1\$" 20 "the host opens its port"
expect_forwarding yes "the router does not forward the port"
expect "$E2E_HOST_LOG" "^router: IPv6 port $E2E_PORT is open in the router's firewall for 2001:db8:1::2\$" 20 "the host opens a pinhole"
expect_pinhole yes "the router has no pinhole"
remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote-heard.wav"
expect "$E2E_HOST_LOG" "^call from 11\.22\.33\.2:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 20 "the host admits the caller"
expect "$E2E_REMOTE_LOG" '^status 53:' 10 "the remote gets connected through the router"
sleep 12
rules during
expect_none "$E2E_REMOTE_LOG" '^status (50|52|54|55|56|57|58):' "the call stays up"
stop "$E2E_REMOTE_PID" "the remote"
expect "$E2E_HOST_LOG" '^status 54:' 5 "the remote's hang-up reaches the host"
expect_heard "$REMOTE_SAYS" "$E2E_SCRATCH/host-heard.wav" "$HOST_SAYS" "the host heard the remote" 8 0.9
expect_heard "$HOST_SAYS" "$E2E_SCRATCH/remote-heard.wav" "$REMOTE_SAYS" "the remote heard the host" 8 0.9

E2E_REMOTE_ADDR=2001:db8:2::2 E2E_REMOTE_LOG="$E2E_SCRATCH/remote6.log" remote Six silence null
expect "$E2E_HOST_LOG" "^call from \[2001:db8:2::2\]:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 20 "the host admits the IPv6 caller"
expect "$E2E_REMOTE_LOG" '^status 53:' 10 "the remote gets connected through the pinhole"
stop "$E2E_REMOTE_PID" "the IPv6 remote"

e2e_log "the router loses the forwarding; the host's check mends it"
ip netns exec "$lan" upnpc -d "$E2E_PORT" UDP >/dev/null 2>&1
! forwarded || fail "upnpc could not remove the forwarding"
expect_forwarding yes "the host did not mend its forwarding"
e2e_log "F5: the host goes offline"
window=$(DISPLAY="$display" timeout 15 xdotool search --sync --onlyvisible --pid "$host_pid" --name '^TESSORA-H ' | head -n 1) || true
DISPLAY="$display" xdotool windowfocus --sync "$window" key F5 || fail "xdotool could not press F5"
expect "$E2E_HOST_LOG" "^router: Port $E2E_PORT is closed on the router\.\$" 10 "offline closes the port"
expect "$E2E_HOST_LOG" "^router: IPv6 port $E2E_PORT is closed in the router's firewall\.\$" 10 "offline closes the pinhole"
expect_forwarding no "the forwarding outlived going offline"
expect_pinhole no "the pinhole outlived going offline"
rules after
stop "$host_pid" "the host"

e2e_log "in Japanese; SIGTERM removes the forwarding"
printf '[General]\nLanguage=Japanese\n' >"$E2E_DIR/xdg/HALVORN Corporation/TESSORA.conf"
start_host host-ja silence null
expect "$E2E_HOST_LOG" "^router: ルーター 11\.22\.33\.1 のポート${E2E_PORT}を開きました\$" 20 "the port opens"
expect_forwarding yes "the router does not forward the port"
expect "$E2E_HOST_LOG" "^router: ルーターのファイアウォールでIPv6のポート${E2E_PORT}を 2001:db8:1::2 に開きました\$" 20 "the pinhole opens"
stop "$host_pid" "the host"
expect_forwarding no "the forwarding outlived SIGTERM"
expect_pinhole no "the pinhole outlived SIGTERM"

e2e_log "a router that speaks NAT-PMP only"
kill -TERM "$miniupnpd_pid" && wait "$miniupnpd_pid" || true
sed -i 's/^enable_natpmp=no$/enable_natpmp=yes\nenable_upnp=no/' "$E2E_SCRATCH/miniupnpd.conf"
start_router
start_host host-natpmp silence null
expect "$E2E_HOST_LOG" "^router: ルーター 11\.22\.33\.1 のポート${E2E_PORT}を開きました\$" 20 "the port opens by NAT-PMP"
expect_forwarding yes "the router does not forward the port"
stop "$host_pid" "the host"
expect "$E2E_HOST_LOG" "^router: ルーターのファイアウォールでIPv6のポート${E2E_PORT}は開いていません。ルーターはIPv6のピンホールに対応していません。\$" 5 "NAT-PMP has no pinholes"
expect_forwarding no "the NAT-PMP forwarding outlived SIGTERM"

e2e_log "miniupnpd stopped: the host goes online and says why the port is not open"
kill -TERM "$miniupnpd_pid" && wait "$miniupnpd_pid" || true
start_host host-none silence null
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online without a router"
expect "$E2E_HOST_LOG" "^router: ルーターのポート${E2E_PORT}は開いていません。ゲートウェイが見つかりません。\$" 15 "no gateway"
stop "$host_pid" "the host"
grep -h '^router: ' "$E2E_SCRATCH"/host*.log | sed 's/^/  /'
e2e_pass
