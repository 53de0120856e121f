#include "peer_owner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The exact-lookup request: the socket whose own end is src:sport and whose
// remote end is dst:dport, in any TCP state.
struct DiagRequest {
    nlmsghdr m_header;
    inet_diag_req_v2 m_request;
};

bool Addresses(int fd, sockaddr_in* pLocal, sockaddr_in* pPeer)
{
    socklen_t cbLocal = sizeof *pLocal, cbPeer = sizeof *pPeer;
    return getsockname(fd, reinterpret_cast<sockaddr*>(pLocal), &cbLocal) == 0 &&
           getpeername(fd, reinterpret_cast<sockaddr*>(pPeer), &cbPeer) == 0 &&
           pLocal->sin_family == AF_INET && pPeer->sin_family == AF_INET;
}

DiagRequest MakeRequest(const sockaddr_in& local, const sockaddr_in& peer)
{
    DiagRequest request{};
    request.m_header.nlmsg_len = sizeof request;
    request.m_header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.m_header.nlmsg_flags = NLM_F_REQUEST;
    request.m_request.sdiag_family = AF_INET;
    request.m_request.sdiag_protocol = IPPROTO_TCP;
    request.m_request.idiag_states = ~0u;
    inet_diag_sockid& id = request.m_request.id;
    id.idiag_sport = peer.sin_port; // the peer's socket: its own end is our peer
    id.idiag_dport = local.sin_port;
    id.idiag_src[0] = peer.sin_addr.s_addr;
    id.idiag_dst[0] = local.sin_addr.s_addr;
    id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    return request;
}

std::optional<uid_t> Ask(int fdNetlink, const DiagRequest& request)
{
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fdNetlink, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) != static_cast<ssize_t>(sizeof request))
        return std::nullopt;
    alignas(nlmsghdr) char reply[8192];
    const ssize_t cbReply = recv(fdNetlink, reply, sizeof reply, 0);
    if (cbReply <= 0)
        return std::nullopt;
    auto cbLeft = static_cast<unsigned>(cbReply);
    for (auto* pHeader = reinterpret_cast<nlmsghdr*>(reply); NLMSG_OK(pHeader, cbLeft);
         pHeader = NLMSG_NEXT(pHeader, cbLeft)) {
        if (pHeader->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
            pHeader->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            return std::nullopt; // an error or the end: no such socket
        inet_diag_msg message;
        std::memcpy(&message, NLMSG_DATA(pHeader), sizeof message);
        return static_cast<uid_t>(message.idiag_uid);
    }
    return std::nullopt;
}

} // namespace

std::optional<uid_t> PeerSocketOwner(int fd)
{
    sockaddr_in local{}, peer{};
    if (!Addresses(fd, &local, &peer))
        return std::nullopt;
    const int fdNetlink = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fdNetlink < 0)
        return std::nullopt;
    // The kernel answers at once; the limit only keeps a stuck answer from
    // holding up the server thread.
    const timeval timeout{1, 0};
    setsockopt(fdNetlink, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const std::optional<uid_t> owner = Ask(fdNetlink, MakeRequest(local, peer));
    close(fdNetlink);
    return owner;
}

bool IsOwnUsersConnection(int fd)
{
    const std::optional<uid_t> owner = PeerSocketOwner(fd);
    return owner && *owner == geteuid();
}
