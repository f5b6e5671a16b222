#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A call over IPv6 alone: host and remote each in a network namespace of its
# own with no IPv4 address at all (not even on loopback), joined by a veth
# pair. The host binds no address (its one socket serves both families); the
# remote binds its IPv6 address and calls the host by a name that resolves to
# two addresses: first one where nobody answers, then the host's. The remote
# tries the first, then the second, and the call goes to the one that
# answers; speech passes both ways. Needs root.
#
#   remote fd00:77::2 ── fd00:77::1 host      (tessora-host: fd00:77::3, fd00:77::1)
E2E_PORT=29590
E2E_HOST_ADDR=fd00:77::1 E2E_REMOTE_ADDR=fd00:77::2 E2E_CALL_ADDR=tessora-host
source "$(dirname "$0")/e2e-common.sh"
[ "$(id -u)" = 0 ] && command -v ip >/dev/null || skip "needs root and ip (iproute2) for network namespaces"

ns_host="tsv$$h" ns_remote="tsv$$r"
for ns in "$ns_host" "$ns_remote"; do
  ip netns add "$ns" 2>"$E2E_SCRATCH/netns.err" ||
    skip "network namespaces are not available here: $(cat "$E2E_SCRATCH/netns.err")"
  E2E_CLEANUPS+=("ip netns delete $ns")
done
ip link add h0 netns "$ns_host" type veth peer name r0 netns "$ns_remote" || skip "no veth pairs here"
for pair in "$ns_host h0 fd00:77::1" "$ns_remote r0 fd00:77::2"; do
  set -- $pair
  ip -n "$1" link set lo up && ip -n "$1" addr del 127.0.0.1/8 dev lo
  ip -n "$1" addr add "$3/64" dev "$2" nodad && ip -n "$1" link set "$2" up
done
[ -z "$(ip -n "$ns_host" -4 addr; ip -n "$ns_remote" -4 addr)" ] || fail "a namespace has an IPv4 address"
# The remote's own hosts file (ip netns exec puts /etc/netns/NS/hosts in place
# of /etc/hosts). The dead address sorts first: it shares a longer prefix with
# the remote's own.
mkdir -p "/etc/netns/$ns_remote"
E2E_CLEANUPS+=("rm -rf /etc/netns/$ns_remote; rmdir /etc/netns 2>/dev/null")
printf 'fd00:77::1 tessora-host\nfd00:77::3 tessora-host\n' >"/etc/netns/$ns_remote/hosts"

E2E_HOST_WRAP=(ip netns exec "$ns_host") E2E_REMOTE_WRAP=(ip netns exec "$ns_remote") E2E_HOST_ENV=(TAVRINO_BIND_ADDRESS=)
host "file:$HOST_SAYS" "file:$E2E_SCRATCH/host-heard.wav"
expect "$E2E_HOST_LOG" '^online on port' 15 "the host goes online without IPv4"
remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote-heard.wav"
expect "$E2E_HOST_LOG" "^call from \[fd00:77::2\]:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 20 "the host admits the IPv6 caller"
expect "$E2E_REMOTE_LOG" '^status 53:' 10 "the remote gets connected over IPv6"
# The request went to the dead address first: the remote asked who has it.
ip -n "$ns_remote" -6 neigh show fd00:77::3 | grep -q . || fail "the remote never tried fd00:77::3, the first address of the name"

sleep 15 # in call over IPv6
stop "$E2E_REMOTE_PID" "the remote" && stop "$E2E_HOST_PID" "the host"
for side in host remote; do sed "s/^/  $side: /" "$E2E_SCRATCH/$side.log"; done
expect_heard "$REMOTE_SAYS" "$E2E_SCRATCH/host-heard.wav" "$HOST_SAYS" "the host heard the remote" 12 0.9
expect_heard "$HOST_SAYS" "$E2E_SCRATCH/remote-heard.wav" "$REMOTE_SAYS" "the remote heard the host" 12 0.9
e2e_pass
