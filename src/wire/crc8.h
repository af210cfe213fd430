// CRC-8 of the sensor frames: Dallas/Maxim table (reflected polynomial 0x8C),
// start value 0xAA, no final XOR. A correct 8-byte header checks to 0.
#pragma once
#include <array>
#include <cstdint>

constexpr std::array<uint8_t, 256> makeCrc8Table() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        uint8_t crc = static_cast<uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8C : crc >> 1;
        t[i] = crc;
    }
    return t;
}

// Lookup table: entry i is the CRC of the single byte i from a zero start value.
inline constexpr std::array<uint8_t, 256> crc8Array = makeCrc8Table();

// CRC of `count` bytes of `buffer` from index `start`; 0xAA for an empty range.
uint8_t crc8Update(const uint8_t *buffer, int start, int count,
                   const uint8_t *table = crc8Array.data());
