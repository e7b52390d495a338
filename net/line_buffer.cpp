// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_buffer.h"

namespace net {

LineBuffer::Take LineBuffer::TakeLine(std::string& line, std::size_t limit) {
    std::size_t avail = Size();
    std::size_t scan = avail < limit ? avail : limit;
    std::string_view view(data_.data() + start_, scan);
    std::size_t lf = view.find('\n');
    if (lf != std::string_view::npos) {
        line.assign(view.substr(0, lf + 1));
        start_ += lf + 1;
        Compact();
        return Take::kLine;
    }
    if (avail > limit || (avail == limit && limit > 0)) {
        line.assign(view);
        start_ += scan;
        Compact();
        return Take::kTooLong;
    }
    return Take::kNeedMore;
}

void LineBuffer::TakeAll(std::string& out) {
    out.append(data_, start_, std::string::npos);
    Clear();
}

void LineBuffer::Clear() {
    data_.clear();
    start_ = 0;
}

void LineBuffer::Compact() {
    // Drop consumed bytes once they dominate, so a long header does not copy
    // the buffer once per line.
    if (start_ == data_.size()) {
        Clear();
    } else if (start_ > 4096 && start_ * 2 > data_.size()) {
        data_.erase(0, start_);
        start_ = 0;
    }
}

}  // namespace net
