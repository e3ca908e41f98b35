#pragma once
// Turns the monitor's 14-character frames in ReceiveBuffer into the shown measurement.

#include "support/VexDateTime.h"

#include <cstdint>
#include <string>

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

// The frame type from the first two bytes of ReceiveBuffer; 0 for a cleared buffer.
int32_t ReadFrameType();
int32_t FrameChecksum(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
// Decodes the first 14 bytes of ReceiveBuffer; a handled frame clears the whole buffer.
DecodeOutcome DecodeFrame(Measurement& measurement);

// After a read that put received bytes at the start of ReceiveBuffer: when they begin a frame
// (type 80 to 89) but are not all of it, reads the rest behind them in the same poll, so that a
// frame that straddled the read time-out is decoded whole instead of failing its checksum and
// its tail turning up on the next poll.
void ReadRestOfSplitFrame(uint32_t received);
