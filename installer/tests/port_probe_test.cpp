// The port probe against real sockets on this machine.
#include "port_probe.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

using zavinstaller::IsPortFree;

int BoundSocket(std::uint16_t port, bool listening) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (listening && listen(s, 4) != 0)) {
    close(s);
    return -1;
  }
  return s;
}

std::uint16_t PortOf(int s) {
  sockaddr_in a;
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// A port the system just handed out and that nothing holds any more.
std::uint16_t UnusedPort() {
  int s = BoundSocket(0, false);
  if (s < 0) return 0;
  std::uint16_t port = PortOf(s);
  close(s);
  return port;
}

TEST(PortProbe, PortHeldByListeningSocketCountsAsTaken) {
  int listener = BoundSocket(0, true);
  ASSERT_GE(listener, 0);
  std::uint16_t port = PortOf(listener);
  EXPECT_EQ(IsPortFree(port), 0);
  EXPECT_EQ(IsPortFree(port), 0);
  close(listener);
  EXPECT_EQ(IsPortFree(port), 1);
}

TEST(PortProbe, FreePortIsFreeTwiceAndStaysFreeAfterwards) {
  std::uint16_t port = UnusedPort();
  ASSERT_NE(port, 0);
  EXPECT_EQ(IsPortFree(port), 1);
  EXPECT_EQ(IsPortFree(port), 1);
  // The probe left nothing behind: the port can be bound and listened on at once.
  int s = BoundSocket(port, true);
  EXPECT_GE(s, 0);
  if (s >= 0) close(s);
}

TEST(PortProbe, ProbeLeavesNoDescriptorOpen) {
  std::uint16_t port = UnusedPort();
  ASSERT_NE(port, 0);
  int before = dup(0);
  close(before);
  IsPortFree(port);
  int after = dup(0);
  close(after);
  EXPECT_EQ(after, before);
}

TEST(PortProbe, NoSocketMeansTaken) {
  std::uint16_t port = UnusedPort();
  ASSERT_NE(port, 0);
  // Lower the descriptor limit to the lowest free descriptor: socket() must fail.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  int lowest = dup(0);
  ASSERT_GE(lowest, 0);
  close(lowest);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  int result = IsPortFree(port);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(IsPortFree(port), 1);
}

}  // namespace
