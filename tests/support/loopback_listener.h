#pragma once
// The listening socket every loopback test server starts from, and the few calls the
// servers make on the connections they take. A socket is an int: a descriptor on Unix, a
// Winsock handle on Windows (which the system keeps within 32 bits).
#include <cstddef>
#include <cstdint>

namespace quavrel::test {

enum class Loopback { kIpv4, kIpv6 };   // 127.0.0.1 or ::1

// Listens on the loopback address of `family` at `port`, or at a free port when it is 0,
// and sets `port` to the port it got. Returns the socket (not inherited by child
// processes); throws std::runtime_error when the port cannot be had.
int ListenOnLoopback(uint16_t& port, int backlog, Loopback family = Loopback::kIpv4);

// A port on the loopback address of `family` where nothing listens.
uint16_t ClosedLoopbackPort(Loopback family = Loopback::kIpv4);

// A connection that arrives within `timeoutMs`; -1 when none did.
int AcceptWithin(int listener, int timeoutMs);
// True when bytes or a close can be read within `timeoutMs`.
bool ReadableWithin(int socket, int timeoutMs);
// The count moved, 0 when the peer has closed, below 0 on an error.
long ReceiveSome(int socket, char* buffer, size_t size);
long SendSome(int socket, const char* data, size_t size);
void ShutdownSending(int socket);
void CloseSocket(int socket);
// An abortive close: the peer gets a reset (RST).
void ResetAndClose(int socket);

}  // namespace quavrel::test
