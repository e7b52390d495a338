// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes received but not yet consumed, handed out line by line (each line up
// to and including its LF) or as a whole for the body. Kept apart from the
// socket so the response parsing can be fed bytes directly.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace net {

class LineBuffer {
public:
    enum class Take { kLine, kNeedMore, kTooLong };

    void Append(std::string_view bytes) { data_.append(bytes); }
    bool Empty() const { return start_ == data_.size(); }
    std::size_t Size() const { return data_.size() - start_; }

    // Moves the next line (with its LF) into `line`. kNeedMore when no LF is
    // buffered yet; kTooLong when more than `limit` bytes come before the LF
    // (then `line` gets the first `limit` bytes).
    Take TakeLine(std::string& line, std::size_t limit);
    // Moves everything buffered into `out` (appended); used for a final
    // unterminated line and for the start of the body.
    void TakeAll(std::string& out);
    void Clear();

private:
    void Compact();
    std::string data_;
    std::size_t start_ = 0;
};

}  // namespace net
