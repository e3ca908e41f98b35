// Any bytes on the line: finding frames must neither crash nor invent a value, every frame it
// reports lies in the bytes as received, and decoding the buffer ends.

#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool IsDecimalUpTo(const std::string& text, int largest) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0') ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return std::stoi(text) <= largest;
}

bool AllHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return HexDigitValue(c).has_value(); });
}

int Hex2(std::string_view frame, size_t offset) {
    return *HexDigitValue(frame[offset]) * 16 + *HexDigitValue(frame[offset + 1]);
}

// The frame a scan reports is the 14 bytes before what it consumed, exactly as received.
void CheckFrame(std::string_view bytes, const FrameScan& scan) {
    Require(scan.consumed >= FrameLength, "a frame is 14 bytes long");
    const std::string_view frame = bytes.substr(scan.consumed - FrameLength, FrameLength);
    Require(AllHex(frame), "a frame is 14 hexadecimal digits");
    if (scan.outcome == StatusFrame) {
        Require(frame[0] == '8' && frame[1] >= '1' && frame[1] <= '9', "status types 81 to 89");
        return;
    }
    Require(frame[0] == '8' && frame[1] == '0', "measurement type 80");
    const FrameValues& v = scan.values;
    Require(v.difference == Hex2(frame, 2) && v.diastole == Hex2(frame, 4) &&
                v.pulse == Hex2(frame, 6) && v.mad == Hex2(frame, 8) &&
                v.arrhythmia == Hex2(frame, 10),
            "the values are the frame's");
    Require((v.difference ^ v.diastole ^ v.pulse ^ v.mad ^ v.arrhythmia) == Hex2(frame, 12),
            "the checksum holds");
}

void CheckScan(std::string_view bytes, bool lineQuiet) {
    const FrameScan scan = ScanFrame(bytes, lineQuiet);
    Require(scan.consumed <= bytes.size(), "never consumes more than there is");
    switch (scan.outcome) {
    case ValidMeasurement:
    case StatusFrame:
        CheckFrame(bytes, scan);
        return;
    case ChecksumError:
        Require(scan.consumed > 0, "an error consumes its frame");
        return;
    case NoFrame:
        if (lineQuiet) {
            Require(scan.consumed == bytes.size(), "a quiet line leaves nothing waiting");
        }
        if (scan.missing > 0) {
            Require(!lineQuiet && scan.missing < FrameLength, "a begun frame lacks 1 to 13");
            Require(bytes.substr(scan.consumed).find('8') != std::string_view::npos,
                    "what waits holds the begun frame");
        }
        return;
    }
    Require(false, "a known outcome");
}

bool ShowsFrameTexts(DecodeOutcome outcome, const Measurement& m) {
    if (outcome == ValidMeasurement) {
        return IsDecimalUpTo(m.Systole, 510) && IsDecimalUpTo(m.Diastole, 255) &&
               IsDecimalUpTo(m.Puls, 255) && IsDecimalUpTo(m.MAD, 255) &&
               (m.Arrhythmie == "Ja" || m.Arrhythmie == "Nein");
    }
    return m.Systole == "0" && m.Diastole == "0" && m.Puls == "0" && m.MAD == "0" &&
           m.Arrhythmie == "0";
}

// Decodes the buffer until nothing is left to handle, as one poll does.
void CheckDecoding(std::string_view bytes) {
    ClearReceivedBytes();
    std::memcpy(ReceiveBuffer.data(), bytes.data(), bytes.size());
    ReceivedCount = static_cast<uint32_t>(bytes.size());
    Measurement measurement;
    measurement.MeasuredAt = 45455.4;
    for (size_t handled = 0;; ++handled) {
        Require(handled <= bytes.size() / FrameLength, "every handled frame takes its bytes");
        const uint32_t before = ReceivedCount;
        const DecodeOutcome outcome = DecodeFrame(measurement);
        Require(ReceivedCount <= before, "decoding only removes bytes");
        Require(measurement.MeasuredAt == 45455.4, "decoding never stamps the time");
        if (outcome == NoFrame) {
            const Measurement shown = measurement;
            Require(DecodeFrame(measurement) == NoFrame, "a handled frame is not handled again");
            Require(shown.Systole == measurement.Systole, "nothing new without new bytes");
            return;
        }
        Require(ShowsFrameTexts(outcome, measurement), "texts a frame can give");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data),
                                 std::min<size_t>(size, ReceiveBufferSize));
    CheckScan(bytes, false);
    CheckScan(bytes, true);
    CheckDecoding(bytes);
    return 0;
}
