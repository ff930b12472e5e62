#pragma once
// The system's numeric address parsers and its name resolution.

#include <optional>
#include <string>

#include "platform/result.h"
#include "platform/socket_address.h"

namespace qf {

// Numeric IPv6 text, with an optional "%" scope suffix (a number or an interface name).
std::optional<SocketAddress> ParseNumericIPv6(const std::string& text);
// The first address the system's resolver gives for a name (any family).
Result<SocketAddress> LookupHostName(const std::string& name);
// The host name the system's resolver gives for an address; its numeric form when the
// resolver knows no name.
Result<std::string> LookupAddressName(const SocketAddress& address);

}  // namespace qf
