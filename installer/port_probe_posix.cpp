// POSIX sockets form of the port probe.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "port_probe.h"

namespace zavinstaller {

int IsPortFree(std::uint16_t port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  // A socket that could not be created fails the bind: the port counts as taken.
  int result = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (s >= 0) {
    shutdown(s, SHUT_RDWR);
    close(s);
  }
  return result == -1 ? 0 : 1;
}

}  // namespace zavinstaller
