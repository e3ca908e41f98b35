// Any bytes in the receive buffer: decoding must neither crash nor handle a frame twice, and it
// shows only the texts a frame can give.

#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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

bool BufferIsClear() {
    return std::all_of(ReceiveBuffer.begin(), ReceiveBuffer.end(),
                       [](uint8_t byte) { return byte == 0; });
}

bool AllZeroTexts(const Measurement& m) {
    return m.Systole == "0" && m.Diastole == "0" && m.Puls == "0" && m.MAD == "0" &&
           m.Arrhythmie == "0";
}

bool SameTexts(const Measurement& a, const Measurement& b) {
    return a.Systole == b.Systole && a.Diastole == b.Diastole && a.Puls == b.Puls &&
           a.MAD == b.MAD && a.Arrhythmie == b.Arrhythmie;
}

void CheckOutcome(DecodeOutcome outcome, const Measurement& before, const Measurement& after,
                  const std::array<uint8_t, ReceiveBufferSize>& bufferBefore) {
    Require(after.MeasuredAt == before.MeasuredAt, "decoding never stamps the time");
    switch (outcome) {
    case ValidMeasurement:
        Require(IsDecimalUpTo(after.Systole, 510) && IsDecimalUpTo(after.Diastole, 255) &&
                    IsDecimalUpTo(after.Puls, 255) && IsDecimalUpTo(after.MAD, 255),
                "values are plain decimals in range");
        Require(after.Arrhythmie == "Ja" || after.Arrhythmie == "Nein", "arrhythmia Ja/Nein");
        Require(BufferIsClear(), "a handled frame clears the buffer");
        return;
    case ChecksumError:
    case StatusFrame:
        Require(AllZeroTexts(after), "a failed or status frame shows 0");
        Require(BufferIsClear(), "a handled frame clears the buffer");
        return;
    case NoFrame:
        Require(SameTexts(before, after), "no frame changes nothing");
        Require(ReceiveBuffer == bufferBefore, "no frame leaves the buffer");
        return;
    }
    Require(false, "a known outcome");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReceiveBuffer.fill(0);
    std::copy_n(data, std::min<size_t>(size, ReceiveBuffer.size()), ReceiveBuffer.begin());
    static const auto bufferBefore = std::make_unique<std::array<uint8_t, ReceiveBufferSize>>();
    *bufferBefore = ReceiveBuffer;

    Measurement measurement;
    measurement.MeasuredAt = 45455.4;
    const Measurement before = measurement;
    const DecodeOutcome outcome = DecodeFrame(measurement);
    CheckOutcome(outcome, before, measurement, *bufferBefore);

    if (outcome != NoFrame) {
        const Measurement shown = measurement;
        Require(DecodeFrame(measurement) == NoFrame, "a handled frame is not handled again");
        Require(SameTexts(shown, measurement), "the next poll without bytes changes nothing");
    }
    return 0;
}
