#pragma once
// Text forms of addresses, and their order.

#include "platform/socket_address.h"
#include "platform/text.h"

namespace qf {

// Never fails: text that is no address gives a recognisable invalid value.
SocketAddress ParseAddress(TextView text, bool blankIsAny);
Text FormatAddress(const SocketAddress& address);
// Order of b relative to a: negative when b < a, zero when equal, positive when b > a.
int CompareAddresses(const SocketAddress& a, const SocketAddress& b, bool withScope);

// A literal IPv4 or IPv6 address (with an optional scope), which names no host to look up.
bool IsNumericAddressText(TextView text);

}  // namespace qf
