#include "device/MeasurementFrame.h"

#include "device/D2XXUnit.h"
#include "platform/text/Text.h"
#include "support/VexStrings.h"

#include <algorithm>
#include <cstring>

uint32_t ReceivedCount = 0;

namespace {

constexpr size_t NoCandidate = std::string_view::npos;

// Set by each poll's read for the decoding that follows it.
bool LineQuiet = false;

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// "8" and a decimal digit, or a last "8" whose next byte has not come yet.
bool IsFrameStart(std::string_view bytes, size_t at) {
    return bytes[at] == '8' && (at + 1 == bytes.size() || IsDecimalDigit(bytes[at + 1]));
}

bool IsMeasurementStart(std::string_view bytes, size_t at) {
    return at + 1 < bytes.size() && bytes[at] == '8' && bytes[at + 1] == '0';
}

// A last "8" may still turn out to start a measurement frame.
bool MayStartMeasurement(std::string_view bytes, size_t at) {
    return IsMeasurementStart(bytes, at) || (at + 1 == bytes.size() && bytes[at] == '8');
}

bool AllHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return HexDigitValue(c).has_value(); });
}

int32_t Field(std::string_view frame, size_t offset) {
    return HexToInt(frame.substr(offset, 2));
}

FrameValues ValuesOf(std::string_view frame) {
    return {Field(frame, 2), Field(frame, 4), Field(frame, 6), Field(frame, 8), Field(frame, 10)};
}

bool ChecksumHolds(std::string_view frame) {
    const FrameValues v = ValuesOf(frame);
    return FrameChecksum(v.difference, v.diastole, v.pulse, v.mad, v.arrhythmia) ==
           Field(frame, 12);
}

FrameScan Decided(DecodeOutcome outcome, size_t consumed, FrameValues values = {}) {
    return {outcome, consumed, values, 0};
}

// The frame begun at start cannot be complete yet. Without a quiet line it waits, with the
// failed frame it may still overrule; on a quiet line it is cut short.
FrameScan Unfinished(std::string_view bytes, size_t start, size_t failed, bool lineQuiet) {
    if (!lineQuiet) {
        return {NoFrame,
                failed != NoCandidate ? failed : start,
                {},
                start + FrameLength - bytes.size()};
    }
    const bool measurement = failed != NoCandidate || IsMeasurementStart(bytes, start);
    return Decided(measurement ? ChecksumError : NoFrame, bytes.size());
}

std::string_view WaitingBytes() {
    return {reinterpret_cast<const char*>(ReceiveBuffer.data()), ReceivedCount};
}

void Consume(size_t count) {
    count = std::min<size_t>(count, ReceivedCount);
    const size_t rest = ReceivedCount - count;
    std::memmove(ReceiveBuffer.data(), ReceiveBuffer.data() + count, rest);
    std::fill(ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(rest),
              ReceiveBuffer.begin() + ReceivedCount, 0);
    ReceivedCount = static_cast<uint32_t>(rest);
}

// What a frame begun at the end of bytes still lacks, once every frame before it is handled.
size_t MissingFromBegunFrame(std::string_view bytes) {
    for (;;) {
        const FrameScan scan = ScanFrame(bytes, false);
        if (scan.outcome == NoFrame) {
            return scan.missing;
        }
        bytes.remove_prefix(scan.consumed);
    }
}

void SetAllTexts(Measurement& measurement, const std::string& text) {
    measurement.Systole = text;
    measurement.Diastole = text;
    measurement.Puls = text;
    measurement.MAD = text;
    measurement.Arrhythmie = text;
}

void ShowValues(Measurement& measurement, const FrameValues& v) {
    measurement.Systole = std::to_string(v.difference + v.diastole);
    measurement.Diastole = std::to_string(v.diastole);
    measurement.Puls = std::to_string(v.pulse);
    measurement.MAD = std::to_string(v.mad);
    measurement.Arrhythmie = v.arrhythmia != 0 ? "Ja" : "Nein";
}

} // namespace

FrameScan ScanFrame(std::string_view bytes, bool lineQuiet) {
    // The first measurement frame that failed; a valid one starting inside it overrules it.
    size_t failed = NoCandidate;
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (failed != NoCandidate && at >= failed + FrameLength) {
            break;
        }
        // Only a measurement frame can overrule a failed one.
        if (!IsFrameStart(bytes, at) ||
            (failed != NoCandidate && !MayStartMeasurement(bytes, at))) {
            continue;
        }
        if (at + FrameLength > bytes.size()) {
            return Unfinished(bytes, at, failed, lineQuiet);
        }
        const std::string_view frame = bytes.substr(at, FrameLength);
        const bool hex = AllHexDigits(frame);
        if (IsMeasurementStart(bytes, at)) {
            if (hex && ChecksumHolds(frame)) {
                return Decided(ValidMeasurement, at + FrameLength, ValuesOf(frame));
            }
            failed = std::min(failed, at);
        } else if (hex) {
            return Decided(StatusFrame, at + FrameLength);
        }
    }
    if (failed != NoCandidate) {
        return Decided(ChecksumError, failed + FrameLength);
    }
    return Decided(NoFrame, bytes.size());
}

int32_t ReadFrameType() {
    return HexToInt(std::string_view(reinterpret_cast<const char*>(ReceiveBuffer.data()), 2));
}

int32_t FrameChecksum(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    return a ^ b ^ c ^ d ^ e;
}

void ClearReceivedBytes() {
    ReceiveBuffer.fill(0);
    ReceivedCount = 0;
    LineQuiet = false;
}

void ReceiveFrameBytes() {
    LastReadStatus = GetFTDeviceQueueStatus();
    LineQuiet = LastReadStatus != FT_OK;
    if (!LineQuiet && QueuedBytes > 0) {
        ReceivedCount +=
            ReadFTDeviceAt(ReceivedCount, std::min(QueuedBytes, ReceiveBufferSize - ReceivedCount));
        LineQuiet = LastReadStatus != FT_OK;
    }
    const size_t missing = LineQuiet ? 0 : MissingFromBegunFrame(WaitingBytes());
    if (missing == 0) {
        return;
    }
    const uint32_t got = ReadFTDeviceAt(ReceivedCount, static_cast<uint32_t>(missing));
    ReceivedCount += got;
    LineQuiet = LastReadStatus != FT_OK || got < missing;
}

DecodeOutcome DecodeFrame(Measurement& measurement) {
    const FrameScan scan = ScanFrame(WaitingBytes(), LineQuiet);
    Consume(scan.consumed);
    switch (scan.outcome) {
    case ValidMeasurement:
        ShowValues(measurement, scan.values);
        break;
    case ChecksumError:
    case StatusFrame:
        SetAllTexts(measurement, "0");
        break;
    case NoFrame:
        break;
    }
    return scan.outcome;
}
