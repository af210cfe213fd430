// Reply frames of the sensor pair: header with CRC-8 over the data and over the header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "wire/wire.h"

using Bytes = std::vector<uint8_t>;

// Error codes carried in the parameter of an error reply (order 0).
constexpr uint16_t ERR_INVALID_ORDER = 0;   // unknown order or invalid address
constexpr uint16_t ERR_COMMUNICATION = 25;  // request not understood (CRC, length)

// A complete frame: 8-byte header followed by `len` data bytes.
Bytes makeFrame(uint8_t order, uint16_t param, const uint8_t *data, size_t len);
Bytes makeFrame(uint8_t order, uint16_t param, const Bytes &data = {});

// The error reply: order 0, the code as parameter, no data.
Bytes errorFrame(uint16_t code);

// The header fields of a frame of at least 8 bytes.
FrameHeader headerOf(const Bytes &frame);

// A record's bytes, for replies that carry one of the wire structs.
template <typename T>
Bytes bytesOf(const T &record) {
    Bytes bytes(sizeof(T));
    std::memcpy(bytes.data(), &record, sizeof(T));
    return bytes;
}
