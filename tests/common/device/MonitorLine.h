#pragma once
// The device unit in tests as the program drives it: listing, and opening a monitor with its
// line settings.

#include <cstdint>
#include <string>

// No device open, reports off, nothing listed or received.
void ResetDeviceUnit();
// The listing succeeds and counts count devices.
bool Listed(uint32_t count);
// The serial number listed at index; empty when the listing fails.
std::string SerialAt(uint32_t index);
// Opens the device and applies what the program applies after every open: 9600 baud, 8 data
// bits, 2 stop bits, no parity, a read time-out of 50 ms. Fails the test where a step fails.
void OpenWithMonitorSettings(const std::string& serialNumber);
