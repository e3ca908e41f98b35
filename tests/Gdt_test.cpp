#include "app/Gdt.h"
#include "common/BlockedFile.h"
#include "common/FileBytes.h"
#include "common/GdtFiles.h"
#include "common/TestEnvironment.h"
#include "platform/Errors.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

// Found by argument lookup, so beside the type's namespace rather than inside ours.
void PrintTo(const PatientRecord& p, std::ostream* out) {
    *out << "{" << p.PatientNo << ", \"" << p.Surname << "\", \"" << p.FirstName << "\", "
         << p.BirthDate << "}";
}

namespace {

TDateTime DateOf(int year, int month, int day) {
    TDateTime value = -1;
    EXPECT_TRUE(TryEncodeDate(year, month, day, value));
    return value;
}

TDateTime DateTimeOf(int year, int month, int day, int hour, int minute) {
    TDateTime time = 0;
    EXPECT_TRUE(TryEncodeTime(hour, minute, 0, 0, time));
    return DateOf(year, month, day) + time;
}

const PatientRecord Earlier{"99", "Alt", "Vorher", 1000};
const std::string EarlierSender = "OLD";

struct ImportCase {
    std::string name;
    std::string bytes;
    bool valid;
    PatientRecord patient;
    std::string senderId = "";
};

void PrintTo(const ImportCase& c, std::ostream* out) {
    *out << c.name;
}

PatientRecord With(std::string no, std::string surname, std::string firstName, TDateTime birth) {
    return {std::move(no), std::move(surname), std::move(firstName), birth};
}

PatientRecord OnlyNo(std::string no) {
    return With(std::move(no), "", "", 0);
}
PatientRecord OnlySurname(std::string surname) {
    return With("", std::move(surname), "", 0);
}

const PatientRecord Cleared{};

const std::string ValidHead = L("80006301") + L("921802.10");

std::vector<ImportCase> ImportCases() {
    const std::string full = L("80006302") + L("8316PRAXIS01") + L("921802.10") + L("30004711") +
                             L("3101Muster") + L("3102Erika") + L("310305031950");
    return {
        {"EmptyFileGivesNoPatient", "", true, Cleared},
        {"FullRequest", full, true, With("4711", "Muster", "Erika", DateOf(1950, 3, 5)),
         "PRAXIS01"},
        {"NothingOfAnEarlierRequestStays", L("30000042"), true, OnlyNo("0042")},
        {"NoRecordTypeIsAccepted", L("3101Neu"), true, OnlySurname("Neu")},
        {"EmptyLineInTheMiddle", L("8316NEW") + "\r\n" + L("30000042"), false, Cleared, "NEW"},
        {"ExtraEmptyLineAtTheEnd", ValidHead + L("30000042") + "\r\n", false, Cleared},
        {"LastLineWithoutLineEnd", ValidHead + "01330004711", true, OnlyNo("4711")},
        {"LastLineCountingNoLineEnd", ValidHead + "01130004711", false, Cleared},
        {"CtrlZEndsTheFile", ValidHead + L("30000042") + "\x1a", true, OnlyNo("0042")},
        {"NothingAfterCtrlZIsRead", L("30000042") + "\x1agarbage\r\n\r\n", true, OnlyNo("0042")},
        {"LineFeedAloneEndsALine", "01330004711\n0123101Neu\n", true, With("4711", "Neu", "", 0)},
        {"LoneCarriageReturnIsLeftOut", "0133000\r4711\r\n", true, OnlyNo("4711")},
        {"WrongLengthField", L("8316NEW") + "0143000471\r\n" + L("8316LATER"), false, Cleared,
         "NEW"},
        {"NonNumericLengthField", "ab330004711\r\n", false, Cleared},
        {"RecordType6301", L("80006301"), true, Cleared},
        {"RecordType6311", L("80006311"), true, Cleared},
        {"RecordType6310", L("80006310") + L("30000042"), false, Cleared},
        {"RecordTypeEmpty", L("8000"), false, Cleared},
        {"PatientNoLeadingZerosKept", L("300000123"), true, OnlyNo("00123")},
        {"PatientNoWithLettersKept", L("3000A4711b"), true, OnlyNo("A4711b")},
        {"PatientNoBeyond32BitsKept", L("30002147483648"), true, OnlyNo("2147483648")},
        {"PatientNoBlanksAroundLeftOut", L("3000  4711 "), true, OnlyNo("4711")},
        {"PatientNoOfTenCharacters", L("3000X-12345678"), true, OnlyNo("X-12345678")},
        {"PatientNoOfElevenCharacters", L("300012345678901"), false, Cleared},
        {"PatientNoWithInnerBlank", L("300047 11"), false, Cleared},
        {"PatientNoWithControlCharacter", L("300047\t11"), false, Cleared},
        {"PatientNoWithUmlaut", L("30004711\x81"), false, Cleared},
        {"PatientNoEmpty", L("3000"), false, Cleared},
        {"PatientNoBlank", L("3000   "), false, Cleared},
        {"BirthDate29Feb1999", L("310329021999"), false, Cleared},
        {"BirthDate29Feb2000", L("310329022000"), true, With("", "", "", DateOf(2000, 2, 29))},
        {"BirthDateDayZero", L("310300011950"), false, Cleared},
        {"BirthDateMonth13", L("310301131950"), false, Cleared},
        {"BirthDateWithoutYear", L("31030503"), false, Cleared},
        {"BirthDateEmpty", L("3103"), false, Cleared},
        {"Version0210", L("921802.10"), true, Cleared},
        {"Version21", L("92182.1"), true, Cleared},
        {"Version1", L("92181"), true, Cleared},
        {"VersionWithSignAndExponent", L("9218 +0.1e1"), true, Cleared},
        {"VersionWithComma", L("92182,10"), false, Cleared},
        {"Version09", L("92180.9"), false, Cleared},
        {"VersionEmpty", L("9218"), false, Cleared},
        {"VersionNegative", L("9218-2"), false, Cleared},
        {"VersionWithTextAfter", L("92182.1a"), false, Cleared},
        {"VersionOverflowing", L("92181e999"), false, Cleared},
        {"VersionPointOnly", L("9218."), false, Cleared},
        {"UnlistedFieldSkipped", L("5555whatever") + L("30000042"), true, OnlyNo("0042")},
        {"NonNumericFieldSkipped", L("ABCD3000") + L("30000042"), true, OnlyNo("0042")},
        {"ShortLineSkipped", "005\r\n" + L("30000042"), true, OnlyNo("0042")},
        {"UnlistedFieldWithWrongLength", "0205555whatever\r\n", false, Cleared},
        {"SurnameCutAt255", L("3101" + std::string(300, 'x')), true,
         OnlySurname(std::string(255, 'x'))},
        {"SenderIdCutAt255", L("8316" + std::string(256, 's')), true, Cleared,
         std::string(255, 's')},
        {"FirstNameEmpty", L("3101Neu") + L("3102"), true, OnlySurname("Neu")},
        {"SenderIdEmpty", L("8316"), true, Cleared, ""},
        {"NamesDecodedAsOemByDefault", L("3101M\x81ller") + L("3102J\x94rg \xe1"), true,
         With("", "Müller", "Jörg ß", 0)},
        {"CharacterSet3LeavesNamesAnsi", L("92063") + L("3101M\xfcller"), true,
         OnlySurname("Müller")},
        {"CharacterSet1LeavesNamesAnsi", L("92061") + L("3101M\xfcller"), true,
         OnlySurname("Müller")},
        {"CharacterSetAfterNamesHasNoEffect", L("3101M\x81ller") + L("92063"), true,
         OnlySurname("Müller")},
        {"CharacterSetLetterCountsAsOem", L("92063") + L("9206x") + L("3101M\x81ller"), true,
         OnlySurname("Müller")},
        {"CharacterSetEmptyCountsAsOem", L("92063") + L("9206") + L("3101M\x81ller"), true,
         OnlySurname("Müller")},
        {"CharacterSetReadFromFirstCharacterOnly", L("920623") + L("3101M\x81ller"), true,
         OnlySurname("Müller")},
    };
}

class ImportTest : public ::testing::TestWithParam<ImportCase> {};

TEST_P(ImportTest, TakesFieldsOrRejects) {
    const ImportCase& c = GetParam();
    PatientRecord patient = Earlier;
    std::string senderId = EarlierSender;

    EXPECT_EQ(ParseGdtRequest(c.bytes, patient, senderId), c.valid);

    EXPECT_EQ(patient.PatientNo, c.patient.PatientNo);
    EXPECT_EQ(patient.Surname, c.patient.Surname);
    EXPECT_EQ(patient.FirstName, c.patient.FirstName);
    EXPECT_DOUBLE_EQ(patient.BirthDate, c.patient.BirthDate);
    EXPECT_EQ(senderId, c.senderId);
}

INSTANTIATE_TEST_SUITE_P(Requests, ImportTest, ::testing::ValuesIn(ImportCases()),
                         [](const auto& info) { return info.param.name; });

TEST(ImportFixtureTest, Cp437UmlautsBecomeProgramText) {
    PatientRecord patient;
    std::string senderId;
    ASSERT_TRUE(ParseGdtRequest(ReadTestData("gdt/request_cp437_umlauts.gdt"), patient, senderId));
    EXPECT_EQ(patient, (PatientRecord{"4711", "Müller-Lüdenscheid", "Jörg ß", DateOf(1950, 3, 5)}));
    EXPECT_EQ(senderId, "PRAXIS01");
    EXPECT_EQ(PatientDisplayName(patient), "Müller-Lüdenscheid, Jörg ß");
}

TEST(ImportFixtureTest, Cp1252NamesUnderCharacterSet3) {
    PatientRecord patient;
    std::string senderId;
    ASSERT_TRUE(ParseGdtRequest(ReadTestData("gdt/request_cp1252_names.gdt"), patient, senderId));
    EXPECT_EQ(patient.Surname, "Müller");
    EXPECT_EQ(patient.FirstName, "Jörg");
    EXPECT_EQ(patient.PatientNo, "0815");
}

TEST(ImportFixtureTest, BadLengthClearsThePatientButKeepsTheSender) {
    PatientRecord patient = Earlier;
    std::string senderId;
    EXPECT_FALSE(ParseGdtRequest(ReadTestData("gdt/request_bad_length.gdt"), patient, senderId));
    EXPECT_EQ(patient, Cleared);
    EXPECT_EQ(senderId, "PRAXIS01");
}

TEST(ImportFixtureTest, SenderIdStaysRawBytes) {
    PatientRecord patient;
    std::string senderId;
    ASSERT_TRUE(ParseGdtRequest(ReadTestData("gdt/request_sender_bytes.gdt"), patient, senderId));
    EXPECT_EQ(senderId, "PRX\x81\xfe\x01ID");
}

class GdtFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = home.root() / "gdt";
        fs::create_directory(folder);
    }

    ScopedTestHome home;
    fs::path folder;
};

void NoPause() {}

TEST_F(GdtFileTest, CompleteRequestIsReadAndLeftInPlace) {
    const fs::path request = folder / "import.gdt";
    const std::string bytes = ReadTestData("gdt/request_cp437_umlauts.gdt");
    WriteBytes(request, bytes);
    const GdtRequestFile read = ReadGdtRequestFile(request.string(), NoPause);
    EXPECT_EQ(read.state, GdtRequestState::Complete);
    EXPECT_EQ(read.bytes, bytes);
    EXPECT_EQ(read.stamp, FileStampOf(request.string()));
    EXPECT_TRUE(fs::exists(request));
}

TEST_F(GdtFileTest, UnreadableRequestRaises) {
    const fs::path request = folder / "import.gdt";
    WriteBytes(request, L("30000042"));
    ScopedBlockedFile blocked(request);

    struct Case {
        fs::path path;
        std::string text;
    };
    const std::vector<Case> cases = {
        {request, ScopedBlockedFile::ReadErrorText()},
        {folder / "missing.gdt", "Datei nicht gefunden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        std::string outcome = "no error";
        try {
            ReadGdtRequestFile(c.path.string(), NoPause);
        } catch (const FileError& error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, c.text);
    }
}

// A request with its record length: the lines, behind the record type and the length line.
std::string Record(const std::string& lines) {
    const std::string head = L("80006302");
    const size_t total = head.size() + 14 + lines.size();
    const std::string digits = std::to_string(total);
    return head + L("8100" + std::string(5 - digits.size(), '0') + digits) + lines;
}

std::string WithoutLastLineEnd(std::string record) {
    record.resize(record.size() - 2);
    return record;
}

// Lines that fill a request to exactly size bytes; lines of unlisted fields are skipped.
std::string RequestOfSize(size_t size) {
    std::string request = L("30004711");
    const std::string filler = L("5555" + std::string(100, 'f'));
    while (request.size() + filler.size() <= size) {
        request += filler;
    }
    const size_t rest = size - request.size();
    return request +
           (rest >= 9 ? L("5555" + std::string(rest - 9, 'g')) : std::string(rest, '\x1a'));
}

struct CompletenessCase {
    const char* name;
    std::string bytes;
    GdtRequestState state;
};

void PrintTo(const CompletenessCase& c, std::ostream* out) {
    *out << c.name;
}

class CompletenessTest : public GdtFileTest,
                         public ::testing::WithParamInterface<CompletenessCase> {};

TEST_P(CompletenessTest, RecordLengthAndSizeDecide) {
    const fs::path request = folder / "import.gdt";
    WriteBytes(request, GetParam().bytes);
    const GdtRequestFile read = ReadGdtRequestFile(request.string(), NoPause);
    EXPECT_EQ(read.state, GetParam().state);
    EXPECT_EQ(read.bytes, read.state == GdtRequestState::Complete ? GetParam().bytes : "");
}

const std::string Lines = L("30004711") + L("3101Muster") + L("3102Erika");

INSTANTIATE_TEST_SUITE_P(
    Requests, CompletenessTest,
    ::testing::Values(
        CompletenessCase{"WithoutRecordLength", L("80006302") + Lines, GdtRequestState::Complete},
        CompletenessCase{"RecordLengthMatches", Record(Lines), GdtRequestState::Complete},
        CompletenessCase{"LastLineWithoutItsLineEnd", WithoutLastLineEnd(Record(Lines)),
                         GdtRequestState::Complete},
        CompletenessCase{"CtrlZBehindTheRecord", Record(Lines) + "\x1a", GdtRequestState::Complete},
        CompletenessCase{"LinesStillMissing", Record(Lines).substr(0, 40),
                         GdtRequestState::Incomplete},
        CompletenessCase{"CutInsideTheLastLine", Record(Lines).substr(0, Record(Lines).size() - 5),
                         GdtRequestState::Incomplete},
        CompletenessCase{"OnlyTheCarriageReturnOfTheLastLine",
                         Record(Lines).substr(0, Record(Lines).size() - 1),
                         GdtRequestState::Incomplete},
        CompletenessCase{"Empty", "", GdtRequestState::Complete},
        CompletenessCase{"LargestRecord", RequestOfSize(MaxGdtRecordBytes),
                         GdtRequestState::Complete},
        CompletenessCase{"OneByteBeyondTheLargestRecord", RequestOfSize(MaxGdtRecordBytes + 1),
                         GdtRequestState::TooLarge}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GdtFileTest, RequestHeldOpenByItsWriterIsIncomplete) {
    const fs::path request = folder / "import.gdt";
    std::ofstream writer(request, std::ios::binary);
    writer << L("80006302") << L("30004711") << std::flush;
    EXPECT_EQ(ReadGdtRequestFile(request.string(), NoPause).state, GdtRequestState::Incomplete);
    writer.close();
    EXPECT_EQ(ReadGdtRequestFile(request.string(), NoPause).state, GdtRequestState::Complete);
}

TEST_F(GdtFileTest, RequestThatChangesWhileItIsReadIsIncomplete) {
    const fs::path request = folder / "import.gdt";
    const fs::path replacement = folder / "next.gdt";
    std::ofstream held;
    struct Change {
        const char* name;
        std::function<void()> writer;
    };
    const std::vector<Change> changes = {
        {"Appended", [&] { std::ofstream(request, std::ios::app) << L("3101Muster"); }},
        {"Replaced",
         [&] {
             WriteBytes(replacement, L("30000815"));
             fs::rename(replacement, request);
         }},
        {"OpenedForWriting", [&] { held.open(request, std::ios::app); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        WriteBytes(request, L("80006302") + L("30004711"));
        EXPECT_EQ(ReadGdtRequestFile(request.string(), change.writer).state,
                  GdtRequestState::Incomplete);
    }
}

// What the practice software does between the program's read of a request and its removal.
TEST_F(GdtFileTest, ConsumingRemovesOnlyTheRequestThatWasRead) {
    const fs::path request = folder / "import.gdt";
    const fs::path next = folder / "next.gdt";
    const std::string nextRequest = L("80006302") + L("30000815");
    struct Race {
        const char* name;
        std::function<void()> meanwhile;
        RequestConsumption expected;
        // The request left at the path afterwards; empty for none.
        std::string left;
    };
    const std::vector<Race> races = {
        {"Nothing", [] {}, RequestConsumption::Consumed, ""},
        {"NextRenamedIntoPlace",
         [&] {
             WriteBytes(next, nextRequest);
             fs::rename(next, request);
         },
         RequestConsumption::Replaced, nextRequest},
        {"RewrittenInPlace", [&] { WriteBytes(request, nextRequest); },
         RequestConsumption::Replaced, nextRequest},
        {"RemovedByItsWriter", [&] { fs::remove(request); }, RequestConsumption::Consumed, ""},
    };
    for (const Race& race : races) {
        SCOPED_TRACE(race.name);
        WriteBytes(request, L("80006302") + L("30004711"));
        const GdtRequestFile read = ReadGdtRequestFile(request.string(), NoPause);
        ASSERT_EQ(read.state, GdtRequestState::Complete);
        EXPECT_EQ(ConsumeGdtRequest(request.string(), read.stamp, race.meanwhile), race.expected);
        if (race.left.empty()) {
            EXPECT_FALSE(fs::exists(request));
        } else {
            EXPECT_EQ(ReadBytes(request), race.left);
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names, race.left.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{"import.gdt"})
            << "nothing of ours stays beside it";
        fs::remove(request);
    }
}

TEST_F(GdtFileTest, RequestInAFolderThatIsNotTheUsersIsNotRemoved) {
    const fs::path request = folder / "import.gdt";
    WriteBytes(request, L("30004711"));
    const GdtRequestFile read = ReadGdtRequestFile(request.string(), NoPause);
    {
        ScopedUndeletableFile kept(request);
        EXPECT_EQ(ConsumeGdtRequest(request.string(), read.stamp, [] {}),
                  RequestConsumption::NotRemoved);
    }
    EXPECT_EQ(ReadBytes(request), L("30004711"));
}

TEST_F(GdtFileTest, HugeRequestIsTooLargeWithoutBeingRead) {
    const fs::path request = folder / "import.gdt";
    WriteBytes(request, L("80006302"));
    fs::resize_file(request, 2ull << 30);
    const GdtRequestFile read = ReadGdtRequestFile(request.string(), NoPause);
    EXPECT_EQ(read.state, GdtRequestState::TooLarge);
    EXPECT_TRUE(read.bytes.empty());
}

GdtResultData ExampleData() {
    GdtResultData data;
    data.SenderId = "PRAXIS01";
    data.Patient = {"4711", "Schmidt", "Anna", DateOf(1950, 3, 5)};
    data.MeasuredAt = DateTimeOf(2024, 6, 12, 9, 41);
    data.NameCaption = PatientDisplayName(data.Patient);
    data.DateTimeCaption = "12.06.2024 09:41";
    data.SystoleCaption = "128";
    data.DiastoleCaption = "84";
    data.PulsCaption = "72";
    data.MadCaption = "99";
    data.ArrCaption = "Nein";
    return data;
}

TEST(ExportTest, ReproducesTheExampleRecordByteForByte) {
    const std::string expected = ReadTestData("gdt/result_example.gdt");
    ASSERT_EQ(expected.size(), 469u);
    EXPECT_EQ(BuildGdtResult(ExampleData()), expected);
}

GdtResultData WithUmlauts() {
    GdtResultData data = ExampleData();
    data.Patient.Surname = "Müller-Lüdenscheid";
    data.Patient.FirstName = "Jörg ß";
    data.NameCaption = PatientDisplayName(data.Patient);
    data.ArrCaption = "Ja €";
    return data;
}

TEST(ExportTest, NamesGoOutAsOemAndOtherTextsAsAnsi) {
    const std::vector<std::string> lines = LinesOf(BuildGdtResult(WithUmlauts()));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[6], "0273101M\x81ller-L\x81"
                        "denscheid");
    EXPECT_EQ(lines[7], "0153102J\x94rg \xe1");
    EXPECT_EQ(lines[13], "0486228    Patient: M\x81ller-L\x81"
                         "denscheid, J\x94rg \xe1");
    EXPECT_EQ(lines[19], "0296228    Arrhythmie: Ja \x80");
}

TEST(ExportTest, CharactersWithoutCounterpartBecomeOneQuestionMark) {
    GdtResultData data = ExampleData();
    data.Patient.Surname = "Ła€";
    data.NameCaption = "€";
    data.SystoleCaption = "Ł12";
    const std::vector<std::string> lines = LinesOf(BuildGdtResult(data));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[6], "0123101?a?");
    EXPECT_EQ(lines[13], "0236228    Patient: ?");
    EXPECT_EQ(lines[15], "0256228    Systole: ?12");
}

TEST(ExportTest, ImportedUmlautsGoBackAsTheyCame) {
    const std::string request = ReadTestData("gdt/request_cp437_umlauts.gdt");
    GdtResultData data = ExampleData();
    ASSERT_TRUE(ParseGdtRequest(request, data.Patient, data.SenderId));
    const std::vector<std::string> lines = LinesOf(BuildGdtResult(data));
    ASSERT_EQ(lines.size(), 21u);
    for (const size_t index : {6u, 7u}) {
        EXPECT_NE(request.find(lines[index] + "\r\n"), std::string::npos) << lines[index];
    }
}

struct ExportCase {
    std::string name;
    GdtResultData data;
    std::vector<std::pair<size_t, std::string>> lines;
};

void PrintTo(const ExportCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<ExportCase> ExportCases() {
    GdtResultData emptySender = ExampleData();
    emptySender.SenderId = "";
    GdtResultData rawSender = ExampleData();
    rawSender.SenderId = "PRX\x81\xfe";
    GdtResultData noFirstName = ExampleData();
    noFirstName.Patient.FirstName = "";
    noFirstName.NameCaption = PatientDisplayName(noFirstName.Patient);
    GdtResultData neverSet = ExampleData();
    neverSet.Patient = PatientRecord{};
    neverSet.NameCaption = "-";
    GdtResultData negative = ExampleData();
    negative.Patient.PatientNo = "A-5";
    GdtResultData longNames = ExampleData();
    longNames.Patient.Surname = std::string(255, 'S');
    longNames.Patient.FirstName = std::string(255, 'F');
    longNames.NameCaption = PatientDisplayName(longNames.Patient);
    GdtResultData afterChecksumError = ExampleData();
    for (auto* caption : {&afterChecksumError.SystoleCaption, &afterChecksumError.DiastoleCaption,
                          &afterChecksumError.PulsCaption, &afterChecksumError.MadCaption,
                          &afterChecksumError.ArrCaption}) {
        *caption = "0";
    }
    return {
        {"EmptySenderId", emptySender, {{2, "0098315"}}},
        {"SenderIdRaw", rawSender, {{2, "0148315PRX\x81\xfe"}}},
        {"EmptyFirstName", noFirstName, {{7, "0093102"}, {13, "0296228    Patient: Schmidt"}}},
        {"NeverSetBirthDate", neverSet, {{5, "0093000"}, {8, "017310330121899"}}},
        {"PatientNoWithLetters", negative, {{5, "0123000A-5"}}},
        {"LongNames", longNames, {{6, "2643101" + std::string(255, 'S')}}},
        {"AfterChecksumError",
         afterChecksumError,
         {{15, "0236228    Systole: 0"},
          {19, "0266228    Arrhythmie: 0"},
          {10, "017620012062024"}}},
    };
}

// Every line's length field counts the line with its CR LF; line 2 holds the file size.
void ExpectWellFormed(const std::string& record) {
    const std::vector<std::string> lines = LinesOf(record);
    ASSERT_EQ(lines.size(), 21u);
    for (const std::string& line : lines) {
        ASSERT_GE(line.size(), 3u);
        EXPECT_EQ(std::stoul(line.substr(0, 3)), line.size() + 2) << line;
    }
    EXPECT_EQ(lines[0], "01380006310");
    ASSERT_EQ(lines[1].size(), 12u);
    EXPECT_EQ(lines[1].substr(0, 7), "0148100");
    EXPECT_EQ(std::stoul(lines[1].substr(7)), record.size());
}

class ExportLinesTest : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportLinesTest, WritesTheLines) {
    const std::string record = BuildGdtResult(GetParam().data);
    ExpectWellFormed(record);
    const std::vector<std::string> lines = LinesOf(record);
    for (const auto& [index, text] : GetParam().lines) {
        EXPECT_EQ(lines.at(index), text) << "line " << index + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Records, ExportLinesTest, ::testing::ValuesIn(ExportCases()),
                         [](const auto& info) { return info.param.name; });

TEST(ExportTest, OverlongCaptionKeepsTheLengthFieldsRight) {
    GdtResultData data = ExampleData();
    data.NameCaption = std::string(2000, 'n');
    data.DateTimeCaption = std::string(5000, 'd');
    ExpectWellFormed(BuildGdtResult(data));
}

TEST(ExportTest, ConfirmationShowsTheSurnameAsProgramText) {
    PatientRecord patient{"4711", "Müller", "Jörg", 0};
    EXPECT_EQ(ExportConfirmationText(patient),
              "Messwerte werden nach Müller, Patientnr. 4711 exportiert.");
}

TEST(ExportTest, FolderPartOfThePath) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"export.gdt", ""},
        {"", ""},
        {"/export.gdt", "/"},
        {"/srv/gdt/export.gdt", "/srv/gdt/"},
        {"C:export.gdt", "C:"},
        {"/srv/a:b/export.gdt", "/srv/a:b/"},
        {"/srv/gdt/a:export.gdt", "/srv/gdt/a:"},
        {"/srv/gdt/", "/srv/gdt/"},
    };
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(GdtFolderPart(path), folder) << path;
    }
}

TEST(ExportTest, PathMessage) {
    EXPECT_EQ(InvalidExportPathMessage("export.gdt"),
              "Ungültiger Pfad für Exportdatei: \r\n\r\n\"export.gdt\"\r\n\r\nSiehe "
              "Einstellungen -> Import/Export.");
}

// Runs the export from inside the test's folder so that a stray relative write would show.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const fs::path& path) : saved_(fs::current_path()) {
        fs::current_path(path);
    }
    ~ScopedWorkingDirectory() { fs::current_path(saved_); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    fs::path saved_;
};

TEST_F(GdtFileTest, RejectedPathsWriteNothing) {
    ScopedWorkingDirectory inFolder(folder);
    const std::vector<std::string> paths = {
        "export.gdt",         "",
        "missing/export.gdt", (folder / "missing" / "export.gdt").string(),
        "Q:export.gdt",       (folder / "export.gdt:").string()};
    for (const std::string& path : paths) {
        EXPECT_FALSE(ExportGdtResultFile(path, ExampleData())) << path;
    }
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(GdtFileTest, ExportWritesAndReplacesTheResultFile) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "an earlier, longer result that must disappear completely");
    ASSERT_TRUE(ExportGdtResultFile(target.string(), ExampleData()));
    EXPECT_EQ(ReadBytes(target), ReadTestData("gdt/result_example.gdt"));

    ScopedWorkingDirectory inFolder(folder);
    ASSERT_TRUE(ExportGdtResultFile("./second.gdt", WithUmlauts()));
    EXPECT_EQ(ReadBytes(folder / "second.gdt"), BuildGdtResult(WithUmlauts()));
}

TEST_F(GdtFileTest, BlockedTargetRaisesTheCreationErrorAndKeepsTheOldFile) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old");
    const std::string path = target.string();
    std::string outcome = "written";
    {
        ScopedBlockedFile blocked(target);
        try {
            outcome = ExportGdtResultFile(path, ExampleData()) ? "written" : "rejected";
        } catch (const FileError& error) {
            outcome = error.what();
        }
    }
    EXPECT_EQ(outcome, "Datei \"" + path + "\" kann nicht erstellt werden. " +
                           ScopedBlockedFile::ReplaceErrorText());
    EXPECT_EQ(ReadBytes(target), "old");
}

const GdtAttachment ExampleAttachment{"4711_20240612-094100",
                                      "C:\\Praxis\\Archiv\\4711_20240612-094100.pdf"};

struct OptionsCase {
    std::string name;
    bool testValues;
    bool attachment;
    std::string expectedFile;
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
    *out << c.name;
}

class ResultOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ResultOptionsTest, WritesTheExpectedRecord) {
    GdtResultOptions options;
    options.TestValues = GetParam().testValues;
    if (GetParam().attachment) {
        options.Attachment = ExampleAttachment;
    }
    const std::optional<std::string> record = BuildGdtResult(ExampleData(), options);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, ReadTestData(GetParam().expectedFile));
    EXPECT_NO_THROW(ParseGdtRecord(*record));
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, ResultOptionsTest,
    ::testing::Values(OptionsCase{"Defaults", false, false, "gdt/result_example.gdt"},
                      OptionsCase{"TestValues", true, false, "gdt/result_testvalues.gdt"},
                      OptionsCase{"Attachment", false, true, "gdt/result_attachment.gdt"},
                      OptionsCase{"Both", true, true, "gdt/result_testvalues_attachment.gdt"}),
    [](const auto& info) { return info.param.name; });

TEST(ResultOptionsTest, OwnParserRejectsWrongLengths) {
    const std::string record = ReadTestData("gdt/result_testvalues_attachment.gdt");
    std::string wrongLine = record;
    wrongLine.replace(wrongLine.find("0138421mmHg"), 3, "014");
    std::string wrongSize = record;
    wrongSize.replace(wrongSize.find("00916"), 5, "00915");
    for (const std::string& bad : {wrongLine, wrongSize, record.substr(0, record.size() - 2)}) {
        EXPECT_THROW(ParseGdtRecord(bad), std::runtime_error);
    }
}

TEST(ResultOptionsTest, TimeOfTheMeasurementWithItsSeconds) {
    GdtResultData data = ExampleData();
    TDateTime time = 0;
    ASSERT_TRUE(TryEncodeTime(23, 5, 7, 900, time));
    data.MeasuredAt = DateOf(2024, 6, 12) + time;
    GdtResultOptions options;
    options.TestValues = true;
    const auto lines = ParseGdtRecord(BuildGdtResult(data, options).value());
    EXPECT_EQ(lines.at(11).field, 6201);
    EXPECT_EQ(lines.at(11).content, "230507");
}

// The record is refused rather than a value filed that no monitor sent.
TEST(ResultOptionsTest, RefusesTestBlocksForCaptionsNoMonitorSends) {
    const std::vector<std::pair<std::string GdtResultData::*, std::string>> cases = {
        {&GdtResultData::SystoleCaption, ""},     {&GdtResultData::SystoleCaption, "12a"},
        {&GdtResultData::DiastoleCaption, " 84"}, {&GdtResultData::PulsCaption, "-72"},
        {&GdtResultData::MadCaption, "9.9"},      {&GdtResultData::MadCaption, "123456"},
        {&GdtResultData::SystoleCaption, "Nein"}, {&GdtResultData::ArrCaption, "ja"},
        {&GdtResultData::ArrCaption, "0"},        {&GdtResultData::ArrCaption, "Ja \xe2\x82\xac"},
    };
    GdtResultOptions withTests;
    withTests.TestValues = true;
    for (const auto& [caption, text] : cases) {
        GdtResultData data = ExampleData();
        data.*caption = text;
        EXPECT_FALSE(BuildGdtResult(data, withTests)) << text;
        const std::optional<std::string> plain = BuildGdtResult(data, GdtResultOptions{});
        ASSERT_TRUE(plain) << text;
        EXPECT_EQ(*plain, BuildGdtResult(data)) << text;
    }
}

TEST(ResultOptionsTest, ArrhythmiaJaAndOwnIdents) {
    GdtResultData data = ExampleData();
    data.ArrCaption = "Ja";
    GdtResultOptions options;
    options.TestValues = true;
    options.TestIdents = ParseTestIdents("SYS;DIA;HF;MAD;ARR").value();
    const auto lines = ParseGdtRecord(BuildGdtResult(data, options).value());
    std::vector<std::string> idents;
    for (const auto& line : lines) {
        if (line.field == 8410) {
            idents.push_back(line.content);
        }
    }
    EXPECT_EQ(idents, (std::vector<std::string>{"SYS", "DIA", "HF", "MAD", "ARR"}));
    EXPECT_EQ(lines.back().field, 8480);
    EXPECT_EQ(lines.back().content, "Ja");
}

// Only the new fields are cut; the path is never, as a cut one names another file.
TEST(ResultOptionsTest, OverlongNewFieldsAreCutAndLengthsStayRight) {
    GdtResultData data = ExampleData();
    data.NameCaption = std::string(300, 'n');
    GdtResultOptions options;
    options.TestValues = true;
    options.TestIdents[0] = std::string(30, 'I');
    const std::string longPath = "/archiv/" + std::string(200, 'p') + ".pdf";
    options.Attachment = GdtAttachment{std::string(80, 'A'), longPath};
    const auto lines = ParseGdtRecord(BuildGdtResult(data, options).value());
    const auto contentOf = [&](int field) {
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const GdtRecordLine& l) { return l.field == field; });
        return line == lines.end() ? std::string("<missing>") : line->content;
    };
    EXPECT_EQ(contentOf(8410), std::string(20, 'I'));
    EXPECT_EQ(contentOf(6302), std::string(60, 'A'));
    EXPECT_EQ(contentOf(6305), longPath);
    EXPECT_EQ(lines.at(14).content, "    Patient: " + std::string(300, 'n'));
}

TEST(ResultOptionsTest, TestIdentsSetting) {
    const GdtTestIdents own = {"A", "B", "C", "D", "E"};
    const std::vector<std::pair<std::string, std::optional<GdtTestIdents>>> cases = {
        {"", DefaultTestIdents()},
        {"A;B;C;D;E", own},
        {"A;B;C;D", std::nullopt},
        {"A;B;C;D;E;F", std::nullopt},
        {"A;B;;D;E", std::nullopt},
        {"A;B;C;D;E;", std::nullopt},
        {"A;B;C D;D;E", std::nullopt},
        {"A;B;C;D;" + std::string(21, 'E'), std::nullopt},
        {"A;B;C;D;" + std::string(20, 'E'),
         GdtTestIdents{"A", "B", "C", "D", std::string(20, 'E')}},
        {"A;B;\xc3\xa4;D;E", std::nullopt},
    };
    for (const auto& [setting, expected] : cases) {
        EXPECT_EQ(ParseTestIdents(setting), expected) << setting;
    }
    EXPECT_EQ(DefaultTestIdents(),
              (GdtTestIdents{"8480-6", "8462-4", "8867-4", "8478-0", "ARRHY"}));
}

} // namespace
