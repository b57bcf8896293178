// Tells whether the service runs from the network: a TCP port that cannot be bound
// counts as held by the service.
#pragma once

#include <cstdint>

namespace zavinstaller {

// IPv4 addresses in host byte order.
constexpr std::uint32_t kAnyAddress = 0x00000000;
constexpr std::uint32_t kLoopbackAddress = 0x7f000001;

// Binds a new TCP socket to `address` and `port` (host byte order) with no socket
// option set and closes it again before it returns; true when the bind succeeded.
using BindOnce = bool (*)(std::uint32_t address, std::uint16_t port);

// True when `port` could be bound on all local addresses and then on the loopback
// address. Windows lets a plain bind to all addresses share a port that another
// socket holds on 127.0.0.1 alone, so the first bind by itself would take a service
// that listens on loopback only for one that is not running.
[[nodiscard]] bool IsPortFree(std::uint16_t port, BindOnce bind);

// IsPortFree with the system's sockets; any failure on the way counts as taken.
[[nodiscard]] bool IsPortFree(std::uint16_t port);

}  // namespace zavinstaller
