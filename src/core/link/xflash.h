// The sensors' external flash: page erase, block write and read, and the calibration header.
// Word addresses 0x1000..0x1FFF, 16 pages of 256 words; the SLAVE is reached through the MASTER.
#pragma once
#include <cstdint>

constexpr uint16_t XF_FIRST_PAGE = 0x1000;
constexpr uint16_t XF_LAST_ADDRESS = 0x1FFF;
constexpr uint16_t XF_CALIB_PAGE = 0x1100;  // where the sensor keeps its calibration header
constexpr int XF_MAX_BYTES = 512;           // one page, the most one request carries
constexpr int XF_MAX_READ_WORDS = 128;      // the most one read request asks for

// Erases one MASTER page (a page start address only): 0, or -1 for an invalid address
// (nothing sent) or a failed exchange.
int ClearXFLASHpage(uint16_t address);
// The same for the SLAVE.
int ClearXFLASHpageSLAVE(uint16_t address);

// Writes up to 512 bytes at a word address of the MASTER: 1, -1 failed exchange, -2 address
// out of range (nothing sent).
int WriteXFLASH(uint16_t address, const void *data, uint16_t length);
// The same for the SLAVE.
int WriteXFLASHSLAVE(uint16_t address, const void *data, uint16_t length);

// Reads up to 512 bytes from the MASTER's flash into `buffer`, in requests of at most 128 words
// (the request carries its word count in one byte, and 0 is no count): 1 read, 0 failed exchange.
int ReadXFLASH(uint16_t address, uint16_t *buffer, uint16_t length);

// Writes a calibration header (sensor 1 = MASTER, 2 = SLAVE): 1 written, -1 failed.
int WriteCalibDataToXF(const void *data, int sensor, uint16_t length);
// Reads `length` bytes of a sensor's calibration header into `dest`: 1 read, -1 failed.
int ReadCalibDataFromXF(void *dest, int sensor, uint16_t length);
