// SPDX-License-Identifier: GPL-3.0-or-later
// Errors of the network layer. Callers show or log what(), so the texts are
// part of the behaviour and must not change.
#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>

namespace net {

// Base class of every error the HTTP client raises (URL errors use it directly).
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Socket failures: start-up, name lookup, connect, socket error codes.
class ESockError : public Exception {
public:
    using Exception::Exception;
};

// A send or receive that was cancelled or ran out of time.
class EAbortError : public Exception {
public:
    using Exception::Exception;
};

struct SocketErrorRow {
    int code;
    const char* text;
};

// The socket error table: 51 rows, the last one code 0.
const SocketErrorRow* SocketErrorTable(std::size_t& rows);

// "10061:Connection refused"; a code outside the table gives
// "Unknown Error No. <code>".
std::string SocketErrorMessage(int code);

}  // namespace net
