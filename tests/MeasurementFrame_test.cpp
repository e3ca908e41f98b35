#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr TDateTime EarlierMeasurement = 39512.5;

const std::string Frame = "801E50485F0059";
const std::string OtherFrame = "802D5A3C6B0121";
const std::string ZeroFields(12, '\0');

// Bytes as a noisy line delivers them: none of them starts a frame.
std::string Noise(size_t count) {
    const std::string pattern("\x00\xff\x55\xaa\x13\x7f\x20\xfe", 8);
    std::string noise;
    while (noise.size() < count) {
        noise += pattern;
    }
    return noise.substr(0, count);
}

struct ScanCase {
    const char* name;
    std::string bytes;
    bool lineQuiet;
    DecodeOutcome outcome;
    size_t consumed;
    size_t missing;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

class ScanFrameTest : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanFrameTest, FindsTheFirstFrameWhereItStarts) {
    const ScanCase& c = GetParam();
    const FrameScan scan = ScanFrame(c.bytes, c.lineQuiet);
    EXPECT_EQ(scan.outcome, c.outcome);
    EXPECT_EQ(scan.consumed, c.consumed);
    EXPECT_EQ(scan.missing, c.missing);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ScanFrameTest,
    testing::Values(
        ScanCase{"Frame", Frame, false, ValidMeasurement, 14, 0},
        ScanCase{"StrayByteBefore", "X" + Frame, false, ValidMeasurement, 15, 0},
        ScanCase{"NoiseBefore", Noise(1400) + Frame, false, ValidMeasurement, 1414, 0},
        ScanCase{"FalseMeasurementStartBefore", "80" + Frame, false, ValidMeasurement, 16, 0},
        ScanCase{"FalseStatusStartBefore", "85zz" + Frame, false, ValidMeasurement, 18, 0},
        ScanCase{"TwoFramesFirstFirst", Frame + OtherFrame, false, ValidMeasurement, 14, 0},
        ScanCase{"BadFrameBeforeAGoodOneIsReported", "801E50485F0058" + Frame, false, ChecksumError,
                 14, 0},
        // Its last "8" may start a frame that would overrule it.
        ScanCase{"ChecksumOffByOneWaitsForWhatFollows", "801E50485F0058", false, NoFrame, 0, 13},
        ScanCase{"ChecksumOffByOneOnAQuietLine", "801E50485F0058", true, ChecksumError, 14, 0},
        ScanCase{"ZeroFilledFrame", "80" + ZeroFields, false, ChecksumError, 14, 0},
        ScanCase{"NonHexField", "801E50G15F0011", false, ChecksumError, 14, 0},
        ScanCase{"Status", "85000000000000", false, StatusFrame, 14, 0},
        ScanCase{"StatusNeedsHexDigits", "85G00000000000", false, NoFrame, 14, 0},
        ScanCase{"BegunFrameWaits", "xx801E5048", false, NoFrame, 2, 6},
        ScanCase{"LoneEightWaits", "xx8", false, NoFrame, 2, 13},
        ScanCase{"BadFrameWaitsForOneBegunInsideIt", "80801E50485F00", false, NoFrame, 0, 2},
        ScanCase{"SameOnAQuietLineIsAnError", "80801E50485F00", true, ChecksumError, 14, 0},
        ScanCase{"MeasurementCutShort", "xx80105040", true, ChecksumError, 10, 0},
        ScanCase{"StatusCutShort", "xx8500", true, NoFrame, 6, 0},
        ScanCase{"LoneEightOnAQuietLine", "xx8", true, NoFrame, 3, 0},
        ScanCase{"NoiseOnly", Noise(40), false, NoFrame, 40, 0},
        ScanCase{"Nothing", "", false, NoFrame, 0, 0}),
    [](const testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(ScanFrame, GivesTheValuesOfTheFrame) {
    const FrameValues v = ScanFrame("xy" + OtherFrame, false).values;
    EXPECT_EQ(v.difference, 0x2D);
    EXPECT_EQ(v.diastole, 0x5A);
    EXPECT_EQ(v.pulse, 0x3C);
    EXPECT_EQ(v.mad, 0x6B);
    EXPECT_EQ(v.arrhythmia, 0x01);
}

void LoadBuffer(const std::string& bytes) {
    ClearReceivedBytes();
    std::memcpy(ReceiveBuffer.data(), bytes.data(), bytes.size());
    ReceivedCount = static_cast<uint32_t>(bytes.size());
}

void AppendToBuffer(const std::string& bytes) {
    std::memcpy(ReceiveBuffer.data() + ReceivedCount, bytes.data(), bytes.size());
    ReceivedCount += static_cast<uint32_t>(bytes.size());
}

std::string WaitingBytes() {
    return {reinterpret_cast<const char*>(ReceiveBuffer.data()), ReceivedCount};
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

bool ClearedBehindTheWaitingBytes() {
    return std::all_of(ReceiveBuffer.begin() + ReceivedCount, ReceiveBuffer.end(),
                       [](uint8_t b) { return b == 0; });
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    DecodeOutcome outcome;
    // Systole, Diastole, Puls, MAD, Arrhythmie after the step.
    const char* texts[5];
    // What still waits in the buffer afterwards.
    std::string waiting;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeFrameTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFrameTest, GivesOutcomeTextsAndBuffer) {
    const DecodeCase& c = GetParam();
    LoadBuffer(c.bytes);
    Measurement m = Shown();

    EXPECT_EQ(DecodeFrame(m), c.outcome);

    EXPECT_EQ(m.Systole, c.texts[0]);
    EXPECT_EQ(m.Diastole, c.texts[1]);
    EXPECT_EQ(m.Puls, c.texts[2]);
    EXPECT_EQ(m.MAD, c.texts[3]);
    EXPECT_EQ(m.Arrhythmie, c.texts[4]);
    EXPECT_EQ(m.MeasuredAt, EarlierMeasurement);
    EXPECT_EQ(WaitingBytes(), c.waiting);
    EXPECT_TRUE(ClearedBehindTheWaitingBytes());
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodeFrameTest,
    testing::Values(
        DecodeCase{"Normal", Frame, ValidMeasurement, {"110", "80", "72", "95", "Nein"}, ""},
        DecodeCase{
            "WithArrhythmia", OtherFrame, ValidMeasurement, {"135", "90", "60", "107", "Ja"}, ""},
        DecodeCase{"ArrhythmiaTwo",
                   "801E50485F025B",
                   ValidMeasurement,
                   {"110", "80", "72", "95", "Ja"},
                   ""},
        DecodeCase{
            "LowerCase", "801e50485f0059", ValidMeasurement, {"110", "80", "72", "95", "Nein"}, ""},
        DecodeCase{"LargestSystole",
                   "80FFFF00000000",
                   ValidMeasurement,
                   {"510", "255", "0", "0", "Nein"},
                   ""},
        DecodeCase{"FrameBehindNoiseLeavesWhatFollows",
                   "\x01" + Frame + "8",
                   ValidMeasurement,
                   {"110", "80", "72", "95", "Nein"},
                   "8"},
        DecodeCase{
            "ZeroBytesAfterType", "80" + ZeroFields, ChecksumError, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{
            "NonHexFieldIsAnError", "801E50G15F0011", ChecksumError, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{
            "ChecksumOffByTwo", "801E50485F005B", ChecksumError, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{"NonHexFieldBreaksChecksum",
                   "801E50G15F0059",
                   ChecksumError,
                   {"0", "0", "0", "0", "0"},
                   ""},
        DecodeCase{"FirstStatusType", "81000000000000", StatusFrame, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{"StatusType85", "851E50485F0059", StatusFrame, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{"LastStatusType", "89FFFFFFFFFFFF", StatusFrame, {"0", "0", "0", "0", "0"}, ""},
        DecodeCase{"TypeAfterStatusRange",
                   "8A1E50485F0059",
                   NoFrame,
                   {"s", "d", "p", "m", "a"},
                   "85F0059"},
        DecodeCase{"TypeBelowMeasurement",
                   "7F1E50485F0059",
                   NoFrame,
                   {"s", "d", "p", "m", "a"},
                   "85F0059"},
        DecodeCase{
            "TypeWithBlank", " 81E50485F0059", NoFrame, {"s", "d", "p", "m", "a"}, "81E50485F0059"},
        DecodeCase{"NoiseIsDropped", "90123456701234", NoFrame, {"s", "d", "p", "m", "a"}, ""},
        DecodeCase{"ClearedBuffer", "", NoFrame, {"s", "d", "p", "m", "a"}, ""}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(DecodeFrame, ChecksumErrorIsHandledOnlyOnce) {
    LoadBuffer("801E50485F005B");
    Measurement m = Shown();
    ASSERT_EQ(DecodeFrame(m), ChecksumError);
    EXPECT_EQ(DecodeFrame(m), NoFrame);
    EXPECT_EQ(m.Systole, "0");
}

TEST(DecodeFrame, FrameInTwoPartsIsDecodedWholeOnceItsRestCame) {
    LoadBuffer("801E5048");
    Measurement m = Shown();
    EXPECT_EQ(DecodeFrame(m), NoFrame);
    EXPECT_EQ(WaitingBytes(), "801E5048");
    AppendToBuffer("5F0059");
    EXPECT_EQ(DecodeFrame(m), ValidMeasurement);
    EXPECT_EQ(m.Systole, "110");
    EXPECT_EQ(WaitingBytes(), "");
}

TEST(DecodeFrame, EveryFrameOfABurstComesInTurn) {
    LoadBuffer(Frame + "801E50485F0058" + "85000000000000" + OtherFrame);
    Measurement m = Shown();
    EXPECT_EQ(DecodeFrame(m), ValidMeasurement);
    EXPECT_EQ(DecodeFrame(m), ChecksumError);
    EXPECT_EQ(DecodeFrame(m), StatusFrame);
    EXPECT_EQ(DecodeFrame(m), ValidMeasurement);
    EXPECT_EQ(m.Systole, "135");
    EXPECT_EQ(DecodeFrame(m), NoFrame);
}

struct TypeCase {
    std::string firstBytes;
    int32_t type;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.firstBytes);
}

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
