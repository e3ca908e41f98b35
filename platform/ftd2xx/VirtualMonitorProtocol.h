#pragma once
// What the virtual-monitor driver and monitor-sim agree on, whatever carries their lines.
//
// Requests are one line each; a monitor answers one line:
//   INFO               -> "MONITOR <serial>\t<description>"
//   OPEN               -> "OK" (the link then carries the monitor's bytes) or "BUSY"
//   SEND <pause> <hex> -> "OK" once the bytes went out at line speed, or "ERR <text>";
//                         <pause> ms between the first 8 bytes and the rest (0: none)
//   UNPLUG             -> "OK", and the monitor ends

#include "platform/ftd2xx/Driver.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ftd2xx::virtualmonitor {

// An answer a running monitor gives at once; a generous bound for a busy machine.
constexpr int AnswerTimeoutMs = 2000;
// How long a listing waits for all monitors together: a monitor that does not answer must not
// hold up discovery.
constexpr int ListingTimeoutMs = 200;
// The longest answer line a monitor gives: "MONITOR", a serial number, a description.
constexpr size_t MaxAnswerBytes = 256;

// As long as the listing of a real chip lets them be, with no characters that could break the
// protocol's lines or a monitor's name in the file system.
bool ValidSerialNumber(std::string_view serialNumber, std::string& error);
bool ValidDescription(std::string_view description, std::string& error);

// The device in a monitor's answer to INFO; false for another answer or another serial number.
bool ParseInfoAnswer(const std::string& answer, const std::string& serialNumber, DeviceEntry& out);

std::string HexEncode(std::string_view bytes);
std::optional<std::string> HexDecode(std::string_view text);

uint64_t SteadyNowMs();

} // namespace ftd2xx::virtualmonitor
