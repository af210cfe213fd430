#include "frames.h"

#include <cstring>

#include "wire/crc8.h"

Bytes makeFrame(uint8_t order, uint16_t param, const uint8_t *data, size_t len) {
    Bytes frame(FRAME_HEADER_SIZE + len);
    frame[0] = 0x55;
    frame[1] = order;
    frame[2] = static_cast<uint8_t>(param & 0xFF);
    frame[3] = static_cast<uint8_t>(param >> 8);
    frame[4] = static_cast<uint8_t>(len & 0xFF);
    frame[5] = static_cast<uint8_t>(len >> 8);
    if (len > 0) std::memcpy(frame.data() + FRAME_HEADER_SIZE, data, len);
    frame[6] = crc8Update(frame.data(), FRAME_HEADER_SIZE, static_cast<int>(len));
    frame[7] = crc8Update(frame.data(), 0, 7);
    return frame;
}

Bytes makeFrame(uint8_t order, uint16_t param, const Bytes &data) {
    return makeFrame(order, param, data.data(), data.size());
}

Bytes errorFrame(uint16_t code) {
    return makeFrame(ORD_ERROR, code);
}

FrameHeader headerOf(const Bytes &frame) {
    FrameHeader h{};
    std::memcpy(&h, frame.data(), sizeof h);
    return h;
}
