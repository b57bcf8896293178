// Tells whether the service runs from the network: a TCP port that cannot be bound
// on all local addresses counts as held by the service.
#pragma once

#include <cstdint>

namespace zavinstaller {

// True when a TCP socket could be bound to `port` (host byte order) on all local
// addresses, false otherwise, any failure on the way included. No socket option is set,
// and the probe's socket is closed before it returns.
bool IsPortFree(std::uint16_t port);

}  // namespace zavinstaller
