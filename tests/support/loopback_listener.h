#pragma once
// The listening socket every loopback test server starts from.
#include <cstdint>

namespace quavrel::test {

enum class Loopback { kIpv4, kIpv6 };   // 127.0.0.1 or ::1

// Listens on the loopback address of `family` at `port`, or at a free port when it is 0,
// and sets `port` to the port it got. Returns the descriptor (close-on-exec); throws
// std::runtime_error when the port cannot be had.
int ListenOnLoopback(uint16_t& port, int backlog, Loopback family = Loopback::kIpv4);

}  // namespace quavrel::test
