#include "platform/interfaces.h"

#include <linux/if.h>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

namespace qf {
namespace {

// Netlink rather than sysfs: /sys/class/net shows the namespace sysfs was mounted in, not
// the caller's, and getifaddrs gives neither the operational state nor the alias.
class RouteNetlink {
  public:
    ~RouteNetlink() {
        if (fd_ >= 0) ::close(fd_);
    }

    Status Open() {
        fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd_ < 0) return LastError("socket", "NETLINK_ROUTE");
        // A dump always ends, but a stuck kernel answer must not hang the caller.
        timeval limit{2, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        return {};
    }

    // Asks for a dump of `type` and passes every message of the answer to `onMessage`.
    Status Dump(uint16_t type, const std::function<void(const nlmsghdr&)>& onMessage) {
        if (auto sent = Request(type); !sent) return sent;
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0) {
                if (errno == EINTR) continue;
                return LastError("recv", "NETLINK_ROUTE");
            }
            if (n == 0) return ErrorFromCode(EPROTO, "recv", "NETLINK_ROUTE");
            auto length = static_cast<unsigned int>(n);
            for (auto* h = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(h, length);
                 h = NLMSG_NEXT(h, length)) {
                if (h->nlmsg_seq != sequence_) continue;
                if (h->nlmsg_type == NLMSG_DONE) return {};
                if (h->nlmsg_type == NLMSG_ERROR) {
                    const auto* failure = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
                    return ErrorFromCode(-failure->error, "dump", "NETLINK_ROUTE");
                }
                onMessage(*h);
            }
        }
    }

  private:
    Status Request(uint16_t type) {
        struct {
            nlmsghdr header;
            rtgenmsg body;
            uint8_t padding[NLMSG_ALIGN(sizeof(rtgenmsg)) - sizeof(rtgenmsg)];
        } request{};
        request.header.nlmsg_len = sizeof request;
        request.header.nlmsg_type = type;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = ++sequence_;
        request.body.rtgen_family = AF_UNSPEC;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(fd_, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
                     sizeof kernel) < 0)
            return LastError("sendto", "NETLINK_ROUTE");
        return {};
    }

    int fd_ = -1;
    uint32_t sequence_ = 0;
};

OperStatus FromLinuxOperState(unsigned state) {
    switch (state) {
        case IF_OPER_NOTPRESENT: return OperStatus::NotPresent;
        case IF_OPER_DOWN: return OperStatus::Down;
        case IF_OPER_LOWERLAYERDOWN: return OperStatus::LowerLayerDown;
        case IF_OPER_TESTING: return OperStatus::Testing;
        case IF_OPER_DORMANT: return OperStatus::Dormant;
        case IF_OPER_UP: return OperStatus::Up;
        default: return OperStatus::Unknown;
    }
}

std::string AttributeText(const rtattr* attribute) {
    const auto* text = static_cast<const char*>(RTA_DATA(attribute));
    return std::string(text, strnlen(text, RTA_PAYLOAD(attribute)));
}

NetworkAdapter ParseLink(const nlmsghdr& message) {
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
    NetworkAdapter adapter;
    adapter.index = info->ifi_index;
    adapter.administrativelyUp = info->ifi_flags & IFF_UP;
    adapter.running = info->ifi_flags & IFF_RUNNING;
    auto length = static_cast<unsigned int>(IFLA_PAYLOAD(&message));
    for (const rtattr* a = IFLA_RTA(info); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        const auto* data = static_cast<const uint8_t*>(RTA_DATA(a));
        switch (a->rta_type) {
            case IFLA_IFNAME: adapter.name = AttributeText(a); break;
            case IFLA_IFALIAS: adapter.alias = AttributeText(a); break;
            case IFLA_ADDRESS: adapter.physicalAddress.assign(data, data + RTA_PAYLOAD(a)); break;
            case IFLA_OPERSTATE: adapter.operStatus = FromLinuxOperState(*data); break;
        }
    }
    return adapter;
}

// The unicast address of one RTM_NEWADDR message, or nothing for families we do not handle.
std::optional<SocketAddress> ParseUnicastAddress(const nlmsghdr& message) {
    const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
    const rtattr* local = nullptr;
    const rtattr* address = nullptr;
    auto length = static_cast<unsigned int>(IFA_PAYLOAD(&message));
    for (const rtattr* a = IFA_RTA(info); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == IFA_LOCAL) local = a;
        if (a->rta_type == IFA_ADDRESS) address = a;
    }
    // On point-to-point links IFA_ADDRESS is the peer; IFA_LOCAL is ours.
    const rtattr* own = local ? local : address;
    if (!own) return std::nullopt;
    if (info->ifa_family == AF_INET && RTA_PAYLOAD(own) == 4) {
        std::array<uint8_t, 4> bytes;
        std::memcpy(bytes.data(), RTA_DATA(own), 4);
        return SocketAddress::IPv4(bytes);
    }
    if (info->ifa_family == AF_INET6 && RTA_PAYLOAD(own) == 16) {
        std::array<uint8_t, 16> bytes;
        std::memcpy(bytes.data(), RTA_DATA(own), 16);
        const bool linkLocal = bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80;
        return SocketAddress::IPv6(bytes, 0, linkLocal ? info->ifa_index : 0);
    }
    return std::nullopt;
}

}  // namespace

Result<std::vector<NetworkAdapter>> ReadNetworkAdapters() {
    RouteNetlink netlink;
    if (auto opened = netlink.Open(); !opened) return opened.error();
    std::vector<NetworkAdapter> adapters;
    auto links = netlink.Dump(RTM_GETLINK, [&](const nlmsghdr& message) {
        if (message.nlmsg_type == RTM_NEWLINK) adapters.push_back(ParseLink(message));
    });
    if (!links) return links.error();
    std::map<int, size_t> byIndex;
    for (size_t i = 0; i < adapters.size(); ++i) byIndex[adapters[i].index] = i;
    auto addresses = netlink.Dump(RTM_GETADDR, [&](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWADDR) return;
        const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
        const auto owner = byIndex.find(static_cast<int>(info->ifa_index));
        const auto address = ParseUnicastAddress(message);
        if (owner != byIndex.end() && address)
            adapters[owner->second].addresses.push_back(*address);
    });
    if (!addresses) return addresses.error();
    return adapters;
}

}  // namespace qf
