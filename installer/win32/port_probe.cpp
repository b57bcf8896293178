// Windows Sockets form of the port probe.
#include <winsock2.h>

#include <cstring>

#include "installer/port_probe.h"

namespace zavinstaller {

namespace {

bool BindAndClose(std::uint32_t address, std::uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in where;
  std::memset(&where, 0, sizeof where);
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  where.sin_addr.s_addr = htonl(address);
  int result = bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where);
  shutdown(s, SD_BOTH);
  closesocket(s);
  return result != SOCKET_ERROR;
}

}  // namespace

bool IsPortFree(std::uint16_t port) {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 0), &wsa) != 0) return false;
  const bool free = IsPortFree(port, &BindAndClose);
  WSACleanup();
  return free;
}

}  // namespace zavinstaller
