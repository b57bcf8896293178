// Windows Sockets form of the port probe.
#include <winsock2.h>

#include <cstring>

#include "port_probe.h"

namespace zavinstaller {

bool IsPortFree(std::uint16_t port) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 0), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  // An invalid socket fails the bind: the port counts as taken.
  int result = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  shutdown(s, SD_BOTH);
  closesocket(s);
  s = INVALID_SOCKET;
  WSACleanup();
  return result != SOCKET_ERROR;
}

}  // namespace zavinstaller
