#include "tools/monitor-sim/Frames.h"

#include "platform/text/Text.h"

#include <charconv>

namespace monitorsim {
namespace {

constexpr int FieldMax = 0xFF;

std::string Hex2(int value) {
    return HexByte(static_cast<unsigned char>(value & 0xFF));
}

bool FitsField(int value) {
    return value >= 0 && value <= FieldMax;
}

} // namespace

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> MeasurementFrame(const MeasurementValues& values, std::string& error) {
    if (values.systole < values.diastole) {
        error = "the systole (" + std::to_string(values.systole) + ") is below the diastole (" +
                std::to_string(values.diastole) + ")";
        return std::nullopt;
    }
    const int difference = values.systole - values.diastole;
    if (!FitsField(difference)) {
        error = "systole minus diastole must be 0 to 255, not " + std::to_string(difference);
        return std::nullopt;
    }
    for (int value : {values.diastole, values.pulse, values.mad, values.arrhythmia}) {
        if (!FitsField(value)) {
            error = "every value must be 0 to 255, not " + std::to_string(value);
            return std::nullopt;
        }
    }
    int checksum = difference ^ values.diastole ^ values.pulse ^ values.mad ^ values.arrhythmia;
    if (values.badChecksum) {
        checksum ^= 0x01;
    }
    return "80" + Hex2(difference) + Hex2(values.diastole) + Hex2(values.pulse) + Hex2(values.mad) +
           Hex2(values.arrhythmia) + Hex2(checksum);
}

std::optional<std::string> StatusFrame(std::string_view type, std::string& error) {
    int value = 0;
    const auto [end, failure] = std::from_chars(type.data(), type.data() + type.size(), value, 16);
    if (type.size() != 2 || failure != std::errc() || end != type.data() + type.size() ||
        value < 0x81 || value > 0x89) {
        error = "a status type is 81 to 89 (hexadecimal), not \"" + std::string(type) + "\"";
        return std::nullopt;
    }
    return Hex2(value) + "000000000000";
}

} // namespace monitorsim
