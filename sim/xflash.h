// External flash of one sensor: word addresses 0x1000..0x1FFF in 16 pages of 256 words. Like
// NOR flash, an erase sets a page to 0xFFFF and a write can only clear bits.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "frames.h"

class XFlash {
  public:
    static constexpr uint16_t BASE = 0x1000;
    static constexpr uint16_t PAGE_WORDS = 0x100;
    static constexpr int PAGES = 16;
    static constexpr int WORDS = PAGES * PAGE_WORDS;
    static constexpr uint16_t CALIB_PAGE = 0x1100;  // page 1: the calibration header
    static constexpr uint16_t TABLE_PAGE = 0x1200;  // pages 2..: the linearisation table

    XFlash() { image_.fill(0xFFFF); }

    // True when the `words` words from `address` lie inside the flash.
    static bool holds(uint32_t address, size_t words);

    bool erasePage(uint16_t pageAddress);                              // false unless a page start
    bool write(uint16_t address, const uint8_t *bytes, size_t count);  // even count, inside
    bool read(uint16_t address, size_t words, Bytes &out) const;       // little-endian words

    std::span<const uint16_t> words(uint16_t address, size_t count) const;

    std::array<uint16_t, WORDS> &image() { return image_; }
    const std::array<uint16_t, WORDS> &image() const { return image_; }

  private:
    std::array<uint16_t, WORDS> image_;
};
