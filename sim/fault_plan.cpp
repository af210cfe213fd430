#include "fault_plan.h"

Bytes FaultPlan::shape(uint8_t order, Bytes reply) {
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
    return reply;
}
