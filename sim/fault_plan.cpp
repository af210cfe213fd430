#include "fault_plan.h"

ShapedReply FaultPlan::shape(uint8_t order, Bytes reply) {
    const auto error = options_.errorReplies.find(order);
    if (error != options_.errorReplies.end()) reply = errorFrame(error->second);
    if (order == options_.oversizeOrder && reply[1] == order) {
        const FrameHeader h = headerOf(reply);
        Bytes data(OVERSIZE_LENGTH);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
        reply = makeFrame(h.order, h.param, data);
    }

    ++replies_;
    if (due(options_.dropEvery, replies_)) return {};
    if (due(options_.corruptHeaderEvery, replies_)) reply[7] ^= 0xFF;
    if (reply.size() > FRAME_HEADER_SIZE && due(options_.corruptDataEvery, ++dataReplies_))
        reply.back() ^= 0xFF;
    ShapedReply out{std::move(reply)};
    if (options_.faultRate > 0 && (nextRandom() >> 11) * 0x1.0p-53 < options_.faultRate)
        addRandomFault(out);
    return out;
}

void FaultPlan::addRandomFault(ShapedReply &out) {
    const auto kind = static_cast<RandomFault>(nextRandom() % static_cast<int>(RandomFault::Count));
    ++randomFaults_[static_cast<int>(kind)];
    Bytes &bytes = out.bytes;
    switch (kind) {
        case RandomFault::Drop:
            bytes.clear();
            break;
        case RandomFault::Cut:  // at least one byte goes, at least one stays
            bytes.resize(1 + nextRandom() % (bytes.size() - 1));
            break;
        case RandomFault::BitFlip:
            bytes[nextRandom() % bytes.size()] ^= static_cast<uint8_t>(1u << nextRandom() % 8);
            break;
        case RandomFault::Late:
            out.extraDelay = LATE_DELAY;
            break;
        case RandomFault::Garbage:
            for (uint64_t n = 1 + nextRandom() % 16; n > 0; --n)
                bytes.push_back(static_cast<uint8_t>(nextRandom()));
            break;
        case RandomFault::Count:
            break;
    }
}
