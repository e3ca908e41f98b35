#pragma once
// The stand-in for the vendor's D2XX library that the Windows build makes for the loader's
// tests: the eight functions as the device layer relies on them, over devices the test plugs in,
// feeds and pulls out through the control functions below (found with GetProcAddress).
//
// Its devices behave as a chip behind the library does: a read waits until the bytes asked for
// have arrived or the read time-out has passed, and a time-out of 0 (the value after opening)
// waits without end; the queue status counts the bytes that have arrived; a device pulled out fails
// every call on it with FT_IO_ERROR until closed.

#include <cstdint>

namespace standin {

// A device appears at the end of the list.
using PlugCall = void (*)(const char* serialNumber, const char* description);
// The device leaves the list; reads on it, waiting ones too, fail.
using UnplugCall = void (*)(const char* serialNumber);
// Bytes the device delivers afterMs from now, behind those it holds.
using SendCall = void (*)(const char* serialNumber, const char* bytes, uint32_t count,
                          uint32_t afterMs);
// What the program set on the device: line speed, data bits, stop bits, parity, read time-out;
// false for a device that was never plugged in.
using LineCall = bool (*)(const char* serialNumber, uint32_t* baudRate, uint8_t* wordLength,
                          uint8_t* stopBits, uint8_t* parity, uint32_t* readTimeoutMs);
// Handles the library has given out and not yet taken back.
using OpenHandlesCall = uint32_t (*)();
// No devices and no handles, as after loading.
using ResetCall = void (*)();

constexpr const char* PlugName = "StandInPlug";
constexpr const char* UnplugName = "StandInUnplug";
constexpr const char* SendName = "StandInSend";
constexpr const char* LineName = "StandInLine";
constexpr const char* OpenHandlesName = "StandInOpenHandles";
constexpr const char* ResetName = "StandInReset";

} // namespace standin
