#pragma once
// Turns the monitor's 14-character frames in ReceiveBuffer into the shown measurement.

#include "support/VexDateTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int32_t MeasurementFrameType = 0x80;
constexpr int32_t FirstStatusFrameType = 0x81;
constexpr int32_t LastStatusFrameType = 0x89;
constexpr uint32_t FrameLength = 14;

// The measurement as currently shown; the report and the GDT export read these texts.
struct Measurement {
    std::string Systole = "-";
    std::string Diastole = "-";
    std::string Puls = "-";
    std::string MAD = "-";
    std::string Arrhythmie = "-";
    TDateTime MeasuredAt = 0.0;
};

enum DecodeOutcome { ValidMeasurement, ChecksumError, StatusFrame, NoFrame };

// The five values a measurement frame carries.
struct FrameValues {
    int32_t difference = 0;
    int32_t diastole = 0;
    int32_t pulse = 0;
    int32_t mad = 0;
    int32_t arrhythmia = 0;
};

// What one look at received bytes found.
struct FrameScan {
    DecodeOutcome outcome = NoFrame;
    // Bytes from the start that are done with: the frame and the noise before it.
    size_t consumed = 0;
    // The values of a ValidMeasurement.
    FrameValues values;
    // For NoFrame: how many bytes a frame begun at the end still lacks; 0 when none has begun.
    size_t missing = 0;
};

// The first frame in bytes, wherever it starts. A frame starts with "80" to "89" and has 14
// characters. A measurement frame counts only when all 14 are hexadecimal digits and its
// checksum holds; otherwise it is a checksum error, unless a valid measurement frame starts
// inside it (then it was a false start). A status frame needs 14 hexadecimal digits; with
// fewer it was a false start. A frame not yet complete waits (NoFrame, kept with whatever
// still depends on it) unless lineQuiet says that no more bytes are coming: then a begun
// measurement frame was cut short and is a checksum error, and everything is consumed.
FrameScan ScanFrame(std::string_view bytes, bool lineQuiet);

// How many bytes at the start of ReceiveBuffer wait to be decoded.
extern uint32_t ReceivedCount;

// Forgets the waiting bytes, as for a new connection: the buffer cleared, nothing waiting.
void ClearReceivedBytes();

// The frame type from the first two bytes of ReceiveBuffer; 0 for a cleared buffer.
int32_t ReadFrameType();
int32_t FrameChecksum(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);

// The poll's read: appends what the driver holds behind the bytes waiting in ReceiveBuffer,
// without waiting when it holds nothing. When they end in a frame that has begun, waits for its
// rest only (at most the read time-out), so that a frame on the line while the poll looks is
// decoded in the same poll. A failed look or read, or a rest that does not come, leaves the
// line quiet for the following decoding; LastReadStatus tells a lost device.
void ReceiveFrameBytes();

// Decodes the first frame among the waiting bytes (ScanFrame) and removes it with the noise
// before it; the freed part of the buffer is cleared. NoFrame when no frame is complete yet.
DecodeOutcome DecodeFrame(Measurement& measurement);
