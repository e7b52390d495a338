// SPDX-License-Identifier: GPL-3.0-or-later
// The few socket calls the client needs, behind one header so that the rest of
// net/ is the same on POSIX and on Winsock. Every error is reported as a
// Winsock error code (10035 "would block", 10061 "refused", ...): on POSIX the
// errno values are translated, so the error table has one set of codes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace net::sockport {

#ifdef _WIN32
using Handle = std::uintptr_t;  // SOCKET
inline constexpr Handle kNoSocket = ~Handle(0);
#else
using Handle = int;
inline constexpr Handle kNoSocket = -1;
#endif

inline constexpr int kWouldBlock = 10035;
inline constexpr int kInProgress = 10036;
inline constexpr int kNotConnected = 10057;
inline constexpr int kConnRefused = 10061;

// Winsock start-up; a no-op elsewhere. Returns 0 or an error code.
int Startup();
void Cleanup();

// A non-blocking IPv4 TCP socket, or kNoSocket with `error` set.
Handle OpenStream(int& error);
void Close(Handle s);
// Closing this socket resets the connection instead of a graceful close.
void SetAbortiveClose(Handle s);

// Starts a connect; 0 when started or done, else the error code.
int StartConnect(Handle s, std::uint32_t addr_be, std::uint16_t port);
// The outcome of a started connect once the socket is writable: 0 or a code.
int ConnectResult(Handle s);

enum class Wait { kReady, kTimeout, kError };
// Waits up to `ms` milliseconds for the socket to become readable/writable.
Wait WaitReadable(Handle s, int ms);
Wait WaitWritable(Handle s, int ms);

// Returns bytes moved, 0 for an orderly end (Receive only), or -1 with `error`
// set (kWouldBlock when nothing could be moved yet).
long Send(Handle s, const char* data, std::size_t size, int& error);
long Receive(Handle s, char* data, std::size_t size, int& error);

// "a.b.c.d" only; no name lookup.
bool ParseDottedIPv4(const std::string& text, std::uint32_t& addr_be);
// Blocking IPv4 name lookup; 0 or a code (11001 host not found, ...).
int ResolveIPv4(const std::string& host, std::uint32_t& addr_be);

// errno value to Winsock code (values without a Winsock counterpart pass through).
int FromErrno(int e);

}  // namespace net::sockport
