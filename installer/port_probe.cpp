#include "installer/port_probe.h"

namespace zavinstaller {

bool IsPortFree(std::uint16_t port, BindOnce bind) {
  return bind(kAnyAddress, port) && bind(kLoopbackAddress, port);
}

}  // namespace zavinstaller
