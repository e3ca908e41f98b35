#include "platform/ftd2xx/VirtualMonitorProtocol.h"

#include "platform/ftd2xx/D2xxTypes.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <chrono>

namespace ftd2xx::virtualmonitor {

bool ValidSerialNumber(std::string_view serialNumber, std::string& error) {
    const bool plain = std::all_of(serialNumber.begin(), serialNumber.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '-' || c == '_';
    });
    if (serialNumber.empty() || serialNumber.size() > FT_SERIAL_NUMBER_SIZE || !plain) {
        error = "a serial number has 1 to " + std::to_string(FT_SERIAL_NUMBER_SIZE) +
                " characters: letters, digits, '-' or '_'";
        return false;
    }
    return true;
}

bool ValidDescription(std::string_view description, std::string& error) {
    const bool printable = std::all_of(description.begin(), description.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte != 0x7f;
    });
    if (description.size() > FT_DESCRIPTION_SIZE || !printable) {
        error = "a description has at most " + std::to_string(FT_DESCRIPTION_SIZE) +
                " bytes and no control characters";
        return false;
    }
    return true;
}

bool ParseInfoAnswer(const std::string& answer, const std::string& serialNumber, DeviceEntry& out) {
    const std::string prefix = "MONITOR ";
    const auto tab = answer.find('\t');
    if (answer.rfind(prefix, 0) != 0 || tab == std::string::npos) {
        return false;
    }
    out.serialNumber = answer.substr(prefix.size(), tab - prefix.size());
    out.description = answer.substr(tab + 1);
    return out.serialNumber == serialNumber;
}

std::string HexEncode(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        text += HexByte(static_cast<unsigned char>(c));
    }
    return text;
}

std::optional<std::string> HexDecode(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const auto high = HexDigitValue(text[i]);
        const auto low = HexDigitValue(text[i + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(*high * 16 + *low));
    }
    return bytes;
}

uint64_t SteadyNowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace ftd2xx::virtualmonitor
