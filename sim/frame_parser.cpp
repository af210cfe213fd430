#include "frame_parser.h"

#include <algorithm>
#include <cstring>

#include "wire/crc8.h"

std::vector<Request> FrameParser::feed(const uint8_t *bytes, size_t count, double now) {
    std::vector<Request> out;
    expire(now);
    if (count == 0) return out;
    if (buf_.empty()) {
        if (now - lastByteAt_ >= BURST_GAP) synced_ = true;
        firstByteAt_ = now;
    }
    lastByteAt_ = now;
    buf_.insert(buf_.end(), bytes, bytes + count);
    parse(out);
    return out;
}

void FrameParser::expire(double now) {
    if (!buf_.empty() && now - firstByteAt_ > PARTIAL_TIMEOUT) {
        buf_.clear();
        synced_ = false;
    }
}

double FrameParser::partialDeadline() const {
    return buf_.empty() ? 0.0 : firstByteAt_ + PARTIAL_TIMEOUT;
}

void FrameParser::drop(size_t count) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(count));
    firstByteAt_ = lastByteAt_;  // what is left arrived with the latest bytes at the earliest
}

void FrameParser::parse(std::vector<Request> &out) {
    while (!buf_.empty()) {
        const auto mark = std::find(buf_.begin(), buf_.end(), uint8_t{0x55});
        if (mark != buf_.begin()) {
            synced_ = false;
            drop(static_cast<size_t>(mark - buf_.begin()));
            continue;
        }
        if (buf_.size() < FRAME_HEADER_SIZE) return;
        if (crc8Update(buf_.data(), 0, FRAME_HEADER_SIZE) != 0) {
            // A request that started where one was due is answered once; anything else is
            // line noise. Either way the search goes on from the next byte.
            if (synced_) out.push_back(Request{.intact = false, .head = {}, .data = {}});
            synced_ = false;
            drop(1);
            continue;
        }
        Request req;
        std::memcpy(&req.head, buf_.data(), FRAME_HEADER_SIZE);
        if (req.head.len > FRAME_MAX_DATA) {
            out.push_back(Request{.intact = false, .head = req.head, .data = {}});
            synced_ = false;
            drop(FRAME_HEADER_SIZE);
            continue;
        }
        const size_t total = FRAME_HEADER_SIZE + req.head.len;
        if (buf_.size() < total) return;
        req.data.assign(buf_.begin() + FRAME_HEADER_SIZE, buf_.begin() + total);
        req.intact = crc8Update(buf_.data(), FRAME_HEADER_SIZE, req.head.len) == req.head.datacrc;
        out.push_back(std::move(req));
        synced_ = true;
        drop(total);
    }
}
