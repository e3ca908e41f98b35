#include "device/MeasurementFrame.h"

#include "device/D2XXUnit.h"
#include "support/VexStrings.h"

#include <string_view>

namespace {

struct FrameFields {
    int32_t difference;
    int32_t diastole;
    int32_t pulse;
    int32_t mad;
    int32_t arrhythmia;
    int32_t checksum;
};

int32_t Field(std::string_view frame, size_t offset) {
    return HexToInt(frame.substr(offset, 2));
}

FrameFields ReadFields() {
    const std::string_view frame(reinterpret_cast<const char*>(ReceiveBuffer.data()), FrameLength);
    return {Field(frame, 2), Field(frame, 4),  Field(frame, 6),
            Field(frame, 8), Field(frame, 10), Field(frame, 12)};
}

void ClearReceiveBuffer() {
    ReceiveBuffer.fill(0);
}

void SetAllTexts(Measurement& measurement, const std::string& text) {
    measurement.Systole = text;
    measurement.Diastole = text;
    measurement.Puls = text;
    measurement.MAD = text;
    measurement.Arrhythmie = text;
}

// A first byte "8" alone, or "8" and a decimal digit followed by fewer than 12 bytes.
bool IsPartialFrame(uint32_t received) {
    if (received == 0 || received >= FrameLength || ReceiveBuffer[0] != '8') {
        return false;
    }
    return received == 1 || (ReceiveBuffer[1] >= '0' && ReceiveBuffer[1] <= '9');
}

DecodeOutcome DecodeMeasurement(Measurement& measurement) {
    const FrameFields f = ReadFields();
    ClearReceiveBuffer();
    if (FrameChecksum(f.difference, f.diastole, f.pulse, f.mad, f.arrhythmia) != f.checksum) {
        SetAllTexts(measurement, "0");
        return ChecksumError;
    }
    measurement.Systole = std::to_string(f.difference + f.diastole);
    measurement.Diastole = std::to_string(f.diastole);
    measurement.Puls = std::to_string(f.pulse);
    measurement.MAD = std::to_string(f.mad);
    measurement.Arrhythmie = f.arrhythmia != 0 ? "Ja" : "Nein";
    return ValidMeasurement;
}

} // namespace

int32_t ReadFrameType() {
    return HexToInt(std::string_view(reinterpret_cast<const char*>(ReceiveBuffer.data()), 2));
}

int32_t FrameChecksum(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    return a ^ b ^ c ^ d ^ e;
}

DecodeOutcome DecodeFrame(Measurement& measurement) {
    const int32_t type = ReadFrameType();
    if (type == MeasurementFrameType) {
        return DecodeMeasurement(measurement);
    }
    if (type >= FirstStatusFrameType && type <= LastStatusFrameType) {
        SetAllTexts(measurement, "0");
        ClearReceiveBuffer();
        return StatusFrame;
    }
    return NoFrame;
}

void ReadRestOfSplitFrame(uint32_t received) {
    if (IsPartialFrame(received)) {
        ReadFTDeviceAt(received, FrameLength - received);
    }
}
