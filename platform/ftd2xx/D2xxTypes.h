#pragma once
// The D2XX library's status codes, handles and flags, shared by its calls and its drivers.

#include <cstdint>

using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
};

constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000;
constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2;

constexpr uint8_t FT_BITS_7 = 7;
constexpr uint8_t FT_BITS_8 = 8;
constexpr uint8_t FT_STOP_BITS_1 = 0;
constexpr uint8_t FT_STOP_BITS_2 = 2;
constexpr uint8_t FT_PARITY_NONE = 0;
constexpr uint8_t FT_PARITY_ODD = 1;
constexpr uint8_t FT_PARITY_EVEN = 2;
constexpr uint8_t FT_PARITY_MARK = 3;
constexpr uint8_t FT_PARITY_SPACE = 4;

// Room the listing writes into: a serial number fills at most 16 bytes, a description 64; the
// zero terminator is left out when the text fills the room.
constexpr uint32_t FT_SERIAL_NUMBER_SIZE = 16;
constexpr uint32_t FT_DESCRIPTION_SIZE = 64;
