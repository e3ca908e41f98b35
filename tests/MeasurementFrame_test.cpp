#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr TDateTime EarlierMeasurement = 39512.5;

struct DecodeCase {
    const char* name;
    std::string frame;
    DecodeOutcome outcome;
    // Systole, Diastole, Puls, MAD, Arrhythmie after the step.
    const char* texts[5];
    bool clearsBuffer;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

void LoadBuffer(const std::string& bytes) {
    // Bytes behind the frame are left from older reads; a handled frame must clear them too.
    ReceiveBuffer.fill('7');
    std::memcpy(ReceiveBuffer.data(), bytes.data(), std::min<size_t>(bytes.size(), 14));
    if (bytes.empty()) {
        ReceiveBuffer.fill(0);
    }
}

Measurement Shown() {
    Measurement m;
    m.Systole = "s";
    m.Diastole = "d";
    m.Puls = "p";
    m.MAD = "m";
    m.Arrhythmie = "a";
    m.MeasuredAt = EarlierMeasurement;
    return m;
}

bool BufferIsCleared() {
    return std::all_of(ReceiveBuffer.begin(), ReceiveBuffer.end(),
                       [](uint8_t b) { return b == 0; });
}

class DecodeFrameTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFrameTest, GivesOutcomeTextsAndBuffer) {
    const DecodeCase& c = GetParam();
    LoadBuffer(c.frame);
    const auto before = ReceiveBuffer;
    Measurement m = Shown();

    EXPECT_EQ(DecodeFrame(m), c.outcome);

    EXPECT_EQ(m.Systole, c.texts[0]);
    EXPECT_EQ(m.Diastole, c.texts[1]);
    EXPECT_EQ(m.Puls, c.texts[2]);
    EXPECT_EQ(m.MAD, c.texts[3]);
    EXPECT_EQ(m.Arrhythmie, c.texts[4]);
    EXPECT_EQ(m.MeasuredAt, EarlierMeasurement);
    if (c.clearsBuffer) {
        EXPECT_TRUE(BufferIsCleared());
    } else {
        EXPECT_EQ(ReceiveBuffer, before);
    }
}

const std::string ZeroFields(12, '\0');

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodeFrameTest,
    testing::Values(
        DecodeCase{
            "Normal", "801E50485F0059", ValidMeasurement, {"110", "80", "72", "95", "Nein"}, true},
        DecodeCase{"WithArrhythmia",
                   "802D5A3C6B0121",
                   ValidMeasurement,
                   {"135", "90", "60", "107", "Ja"},
                   true},
        DecodeCase{"ArrhythmiaTwo",
                   "801E50485F025B",
                   ValidMeasurement,
                   {"110", "80", "72", "95", "Ja"},
                   true},
        DecodeCase{"LowerCase",
                   "801e50485f0059",
                   ValidMeasurement,
                   {"110", "80", "72", "95", "Nein"},
                   true},
        DecodeCase{"LargestSystole",
                   "80FFFF00000000",
                   ValidMeasurement,
                   {"510", "255", "0", "0", "Nein"},
                   true},
        DecodeCase{"ZeroBytesAfterType",
                   "80" + ZeroFields,
                   ValidMeasurement,
                   {"0", "0", "0", "0", "Nein"},
                   true},
        DecodeCase{"NonHexFieldCountsZero",
                   "801E50G15F0011",
                   ValidMeasurement,
                   {"110", "80", "0", "95", "Nein"},
                   true},
        DecodeCase{
            "ChecksumOffByOne", "801E50485F0058", ChecksumError, {"0", "0", "0", "0", "0"}, true},
        DecodeCase{"NonHexFieldBreaksChecksum",
                   "801E50G15F0059",
                   ChecksumError,
                   {"0", "0", "0", "0", "0"},
                   true},
        DecodeCase{
            "FirstStatusType", "81000000000000", StatusFrame, {"0", "0", "0", "0", "0"}, true},
        DecodeCase{"StatusType85", "851E50485F0059", StatusFrame, {"0", "0", "0", "0", "0"}, true},
        DecodeCase{
            "LastStatusType", "89FFFFFFFFFFFF", StatusFrame, {"0", "0", "0", "0", "0"}, true},
        DecodeCase{
            "TypeAfterStatusRange", "8A1E50485F0059", NoFrame, {"s", "d", "p", "m", "a"}, false},
        DecodeCase{
            "TypeBelowMeasurement", "7F1E50485F0059", NoFrame, {"s", "d", "p", "m", "a"}, false},
        DecodeCase{"Type90", "901E50485F0059", NoFrame, {"s", "d", "p", "m", "a"}, false},
        DecodeCase{"TypeWithBlank", " 81E50485F0059", NoFrame, {"s", "d", "p", "m", "a"}, false},
        DecodeCase{"ClearedBuffer", "", NoFrame, {"s", "d", "p", "m", "a"}, false}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(DecodeFrame, ChecksumErrorIsHandledOnlyOnce) {
    LoadBuffer("801E50485F0058");
    Measurement m = Shown();
    ASSERT_EQ(DecodeFrame(m), ChecksumError);
    EXPECT_EQ(DecodeFrame(m), NoFrame);
    EXPECT_EQ(m.Systole, "0");
}

TEST(DecodeFrame, SecondHalfOfSplitFrameOverOlderBytesIsNoFrame) {
    // The first 8 bytes of a frame, the rest of the buffer cleared by the previous frame.
    ReceiveBuffer.fill(0);
    std::memcpy(ReceiveBuffer.data(), "801E5048", 8);
    Measurement m = Shown();
    EXPECT_EQ(DecodeFrame(m), ChecksumError);
    std::memcpy(ReceiveBuffer.data(), "5F0059", 6);
    EXPECT_EQ(DecodeFrame(m), NoFrame);
}

struct TypeCase {
    std::string firstBytes;
    int32_t type;
};

class ReadFrameTypeTest : public testing::TestWithParam<TypeCase> {};

TEST_P(ReadFrameTypeTest, ReadsFirstTwoBytesAsHex) {
    ReceiveBuffer.fill(0);
    std::memcpy(ReceiveBuffer.data(), GetParam().firstBytes.data(), GetParam().firstBytes.size());
    EXPECT_EQ(ReadFrameType(), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Types, ReadFrameTypeTest,
                         testing::Values(TypeCase{"80", 128}, TypeCase{"89", 137},
                                         TypeCase{"fF", 255}, TypeCase{"", 0},
                                         TypeCase{std::string("8\0", 2), 0}, TypeCase{"8G", 0},
                                         TypeCase{"800", 128}));

TEST(FrameChecksum, XorsAllFiveOverFullWidth) {
    EXPECT_EQ(FrameChecksum(0x1E, 0x50, 0x48, 0x5F, 0x00), 0x59);
    EXPECT_EQ(FrameChecksum(0x2D, 0x5A, 0x3C, 0x6B, 0x01), 0x21);
    EXPECT_EQ(FrameChecksum(0x10000, 0x1, 0, 0, 0), 0x10001);
    EXPECT_EQ(FrameChecksum(7, 7, 5, 5, 0), 0);
}

TEST(Measurement, StartsWithDashesAndZeroDate) {
    const Measurement m;
    EXPECT_EQ(m.Systole, "-");
    EXPECT_EQ(m.Diastole, "-");
    EXPECT_EQ(m.Puls, "-");
    EXPECT_EQ(m.MAD, "-");
    EXPECT_EQ(m.Arrhythmie, "-");
    EXPECT_EQ(m.MeasuredAt, 0.0);
}

} // namespace
