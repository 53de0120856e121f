// Who owns the other end of a loopback TCP connection. The kernel's socket
// diagnostics (NETLINK_SOCK_DIAG) find the peer's socket by the connection's
// addresses and ports and report the user that created it.
#pragma once

#include <sys/types.h>

#include <optional>

// The uid owning the peer's socket of the connected IPv4 socket fd, or
// nothing when it cannot be found (for example, the peer is already gone).
std::optional<uid_t> PeerSocketOwner(int fd);

// True when the peer's socket belongs to this process's effective user.
bool IsOwnUsersConnection(int fd);
