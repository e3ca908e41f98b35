#pragma once
// The frames a monitor sends, built from the values a user types.

#include <optional>
#include <string>
#include <string_view>

namespace monitorsim {

struct MeasurementValues {
    int systole = 0;
    int diastole = 0;
    int pulse = 0;
    int mad = 0;
    int arrhythmia = 0;
    bool badChecksum = false;
};

// The 14-character frame, or nothing with the reason when a value does not fit.
std::optional<std::string> MeasurementFrame(const MeasurementValues& values, std::string& error);
// A device status frame of type 81 to 89 (given in hexadecimal).
std::optional<std::string> StatusFrame(std::string_view type, std::string& error);
// A whole decimal number in [low, high], nothing else.
std::optional<int> ParseNumber(std::string_view text, int low, int high);

} // namespace monitorsim
