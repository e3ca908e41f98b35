#include "app/Gdt.h"

#include "platform/files/Files.h"
#include "support/VexDateTime.h"
#include "support/VexStrings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

namespace {

// Field identifiers of the lines we read and write.
namespace GdtField {
constexpr int32_t RecordType = 8000;
constexpr int32_t RecordLength = 8100;
constexpr int32_t ReceiverId = 8315;
constexpr int32_t SenderId = 8316;
constexpr int32_t GdtVersion = 9218;
constexpr int32_t CharacterSet = 9206;
constexpr int32_t PatientNo = 3000;
constexpr int32_t Surname = 3101;
constexpr int32_t FirstName = 3102;
constexpr int32_t BirthDate = 3103;
constexpr int32_t DeviceAndProcedure = 8402;
constexpr int32_t MeasurementDate = 6200;
constexpr int32_t MeasurementTime = 6201;
constexpr int32_t ResultText = 6228;
constexpr int32_t FileArchiveNo = 6302;
constexpr int32_t FileFormat = 6303;
constexpr int32_t FileContent = 6304;
constexpr int32_t FilePath = 6305;
constexpr int32_t TestIdent = 8410;
constexpr int32_t TestName = 8411;
constexpr int32_t ResultValue = 8420;
constexpr int32_t ResultUnit = 8421;
constexpr int32_t TestResultText = 8480;
} // namespace GdtField

// Record types: the requests we accept and the result we write.
constexpr int32_t TransmitPatientData = 6301;
constexpr int32_t RequestExamination = 6302;
constexpr int32_t ShowExaminationData = 6311;
constexpr int32_t ExaminationResult = 6310;

// The character set in which names are converted from the OEM code page.
constexpr int32_t IbmPcCharacterSet = 2;

constexpr char EndOfFile = '\x1a';
constexpr auto RequestSettleTime = std::chrono::milliseconds(20);
constexpr size_t MaxContent = 255;
constexpr size_t ContentStart = 8;
// Keeps every length field at three digits and the record length at five.
constexpr size_t MaxLineText = 999 - 5;

// Characters first..first+count-1 of line, counted from 1; shorter or empty near the end.
std::string_view Chars(std::string_view line, size_t first, size_t count) {
    if (first > line.size()) {
        return {};
    }
    return line.substr(first - 1, count);
}

std::string_view Content(std::string_view line) {
    return Chars(line, ContentStart, MaxContent);
}

int32_t IntegerOr(std::string_view text, int32_t fallback) {
    return ReadIntegerText(text).value_or(fallback);
}

// A line ends at LF; its CR and any CR not followed by LF are left out.
std::string NextLine(std::string_view& rest) {
    const size_t lf = rest.find('\n');
    const std::string_view raw = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    std::string line;
    line.reserve(raw.size());
    for (const char c : raw) {
        if (c != '\r') {
            line.push_back(c);
        }
    }
    return line;
}

bool LengthFieldMatches(std::string_view line) {
    return static_cast<int64_t>(IntegerOr(Chars(line, 1, 3), 0)) ==
           static_cast<int64_t>(line.size()) + 2;
}

bool IsAcceptedRecordType(int32_t recordType) {
    return recordType == TransmitPatientData || recordType == RequestExamination ||
           recordType == ShowExaminationData;
}

// Decimal number with "." as the point: leading blanks, a sign, digits with an optional
// fraction, an optional exponent, nothing else.
bool IsDecimalNumber(std::string_view text, size_t& numberStart) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    numberStart = i;
    const auto skipDigits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    size_t digits = skipDigits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += skipDigits();
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (skipDigits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

bool IsVersionAtLeastOne(std::string_view text) {
    size_t numberStart = 0;
    if (!IsDecimalNumber(text, numberStart)) {
        return false;
    }
    if (numberStart > 0 && text[numberStart - 1] == '-') {
        return false;
    }
    const std::string_view number = text.substr(numberStart);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc{} && end == number.data() + number.size() && value >= 1.0;
}

// What one run of the reader carries from line to line.
struct RequestState {
    PatientRecord& patient;
    std::string& senderId;
    bool convertNames = true;
};

std::string DecodeName(std::string_view content, bool convertNames) {
    return convertNames ? ConvertOemToAnsi(content) : ConvertCp1252ToText(content);
}

bool TakeBirthDate(std::string_view line, PatientRecord& patient) {
    const int32_t day = IntegerOr(Chars(line, 8, 2), 0);
    const int32_t month = IntegerOr(Chars(line, 10, 2), 0);
    const int32_t year = IntegerOr(Chars(line, 12, 4), 0);
    return TryEncodeDate(year, month, day, patient.BirthDate);
}

bool IsUsablePatientNo(std::string_view number) {
    return !number.empty() && number.size() <= MaxPatientNoLength &&
           std::all_of(number.begin(), number.end(), [](char c) { return c > ' ' && c < '\x7f'; });
}

// False when the line makes the request invalid.
bool TakeField(int32_t field, std::string_view line, RequestState& state) {
    switch (field) {
    case GdtField::RecordType:
        return IsAcceptedRecordType(IntegerOr(Chars(line, 8, 4), 0));
    case GdtField::PatientNo:
        state.patient.PatientNo = TrimCharSet(Content(line), MakeCharSet(" "), true, true);
        return IsUsablePatientNo(state.patient.PatientNo);
    case GdtField::Surname:
        state.patient.Surname = DecodeName(Content(line), state.convertNames);
        return true;
    case GdtField::FirstName:
        state.patient.FirstName = DecodeName(Content(line), state.convertNames);
        return true;
    case GdtField::BirthDate:
        return TakeBirthDate(line, state.patient);
    case GdtField::SenderId:
        state.senderId = std::string(Content(line));
        return true;
    case GdtField::CharacterSet:
        state.convertNames = IntegerOr(Chars(line, 8, 1), IbmPcCharacterSet) == IbmPcCharacterSet;
        return true;
    case GdtField::GdtVersion:
        return IsVersionAtLeastOne(Content(line));
    default:
        return true;
    }
}

std::string_view BeforeEndOfFile(std::string_view bytes) {
    return bytes.substr(0, bytes.find(EndOfFile));
}

// The content of the record length line, if the lines up to it are sound and it holds a number.
std::optional<int64_t> RecordLength(std::string_view bytes) {
    std::string_view rest = BeforeEndOfFile(bytes);
    while (!rest.empty()) {
        const std::string line = NextLine(rest);
        if (!LengthFieldMatches(line)) {
            return std::nullopt;
        }
        if (IntegerOr(Chars(line, 4, 4), 0) == GdtField::RecordLength) {
            return ReadIntegerText(Content(line));
        }
    }
    return std::nullopt;
}

bool ReadRequestLines(std::string_view bytes, RequestState& state) {
    std::string_view rest = BeforeEndOfFile(bytes);
    while (!rest.empty()) {
        const std::string line = NextLine(rest);
        if (!LengthFieldMatches(line)) {
            return false;
        }
        if (!TakeField(IntegerOr(Chars(line, 4, 4), 0), line, state)) {
            return false;
        }
    }
    return true;
}

std::string GdtLine(int32_t field, std::string_view content) {
    const std::string text = (std::to_string(field) + std::string(content)).substr(0, MaxLineText);
    return IntToStrZero(static_cast<int64_t>(text.size()) + 5, 3) + text + "\r\n";
}

// A result text line in the file's bytes: four blanks, then the text.
std::string ResultTextLine(std::string_view bytes) {
    return GdtLine(GdtField::ResultText, "    " + std::string(bytes));
}

std::string TextLine(std::string_view label, const std::string& caption) {
    return ResultTextLine(std::string(label) + ConvertTextToCp1252(caption));
}

// The lines up to the date of the measurement, without the record type and length.
std::string PatientLines(const GdtResultData& data) {
    const PatientRecord& patient = data.Patient;
    return GdtLine(GdtField::ReceiverId, data.SenderId) + GdtLine(GdtField::SenderId, "LIRN_QP") +
           GdtLine(GdtField::GdtVersion, "02.10") +
           GdtLine(GdtField::PatientNo, patient.PatientNo) +
           GdtLine(GdtField::Surname, ConvertAnsiToOem(patient.Surname)) +
           GdtLine(GdtField::FirstName, ConvertAnsiToOem(patient.FirstName)) +
           GdtLine(GdtField::BirthDate, FormatGdtDate(patient.BirthDate)) +
           GdtLine(GdtField::DeviceAndProcedure, "BDM00") +
           GdtLine(GdtField::MeasurementDate, FormatGdtDate(data.MeasuredAt));
}

// The text lines that repeat what the window shows.
std::string ResultTextLines(const GdtResultData& data) {
    const std::string separator = GdtLine(GdtField::ResultText, "============================");
    return ResultTextLine("lirn Quarn professional") + separator +
           ResultTextLine("Patient: " + ConvertAnsiToOem(data.NameCaption)) +
           TextLine("Messdatum: ", data.DateTimeCaption) +
           TextLine("Systole: ", data.SystoleCaption) +
           TextLine("Diastole: ", data.DiastoleCaption) + TextLine("Puls: ", data.PulsCaption) +
           TextLine("MAD: ", data.MadCaption) + TextLine("Arrhythmie: ", data.ArrCaption) +
           separator;
}

// Caps for the texts of the fields for test results and file references, so that a reader with
// fixed field sizes takes them whole; the path is never cut, as a cut one names another file.
constexpr size_t MaxTestNameLength = 60;
constexpr size_t MaxUnitLength = 20;
constexpr size_t MaxArchiveNoLength = 60;
constexpr size_t MaxFileContentLength = 60;
// Up to five digits, as a monitor sends its readings.
constexpr size_t MaxValueDigits = 5;

std::string GdtLineCut(int32_t field, std::string_view content, size_t maxContent) {
    return GdtLine(field, content.substr(0, maxContent));
}

enum class TestValueKind { Number, Flag };

struct TestDescription {
    const char* name;
    const char* unit;
    TestValueKind kind;
};

constexpr std::array<TestDescription, TestValueCount> TestDescriptions = {{
    {"Systolischer Blutdruck", "mmHg", TestValueKind::Number},
    {"Diastolischer Blutdruck", "mmHg", TestValueKind::Number},
    {"Puls", "1/min", TestValueKind::Number},
    {"Mittlerer arterieller Druck", "mmHg", TestValueKind::Number},
    {"Arrhythmie", "", TestValueKind::Flag},
}};

bool IsPlainNumber(std::string_view text) {
    return !text.empty() && text.size() <= MaxValueDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsMonitorValue(TestValueKind kind, std::string_view caption) {
    return kind == TestValueKind::Number ? IsPlainNumber(caption)
                                         : caption == "Ja" || caption == "Nein";
}

std::array<std::string_view, TestValueCount> ValueCaptions(const GdtResultData& data) {
    return {data.SystoleCaption, data.DiastoleCaption, data.PulsCaption, data.MadCaption,
            data.ArrCaption};
}

// Nothing when a caption is no value a monitor sent: the practice software would file it as
// one.
std::optional<std::string> TestBlocks(const GdtResultData& data, const GdtTestIdents& idents) {
    const auto captions = ValueCaptions(data);
    std::string blocks;
    for (size_t i = 0; i < TestValueCount; ++i) {
        const TestDescription& test = TestDescriptions[i];
        if (!IsMonitorValue(test.kind, captions[i])) {
            return std::nullopt;
        }
        blocks += GdtLineCut(GdtField::TestIdent, idents[i], MaxTestIdentLength) +
                  GdtLineCut(GdtField::TestName, test.name, MaxTestNameLength);
        if (test.kind == TestValueKind::Number) {
            blocks += GdtLine(GdtField::ResultValue, captions[i]) +
                      GdtLineCut(GdtField::ResultUnit, test.unit, MaxUnitLength);
        } else {
            blocks += GdtLine(GdtField::TestResultText, captions[i]);
        }
    }
    return blocks;
}

std::string AttachmentLines(const GdtAttachment& attachment) {
    return GdtLineCut(GdtField::FileArchiveNo, ConvertTextToCp1252(attachment.ArchiveNo),
                      MaxArchiveNoLength) +
           GdtLine(GdtField::FileFormat, "PDF") +
           GdtLineCut(GdtField::FileContent, "Blutdruckmessung", MaxFileContentLength) +
           GdtLine(GdtField::FilePath, ConvertTextToCp1252(attachment.Path));
}

std::string WithLengthLine(const std::string& body) {
    const std::string head = GdtLine(GdtField::RecordType, std::to_string(ExaminationResult));
    const size_t lengthLineSize = 14;
    const size_t total = head.size() + lengthLineSize + body.size();
    return head + GdtLine(GdtField::RecordLength, IntToStrZero(static_cast<int64_t>(total), 5)) +
           body;
}

bool IsIdentChar(char c) {
    return c > ' ' && c < '\x7f' && c != ';';
}

} // namespace

bool ParseGdtRequest(std::string_view bytes, PatientRecord& patient, std::string& senderId) {
    patient = PatientRecord{};
    senderId.clear();
    RequestState state{patient, senderId};
    if (ReadRequestLines(bytes, state)) {
        return true;
    }
    patient = PatientRecord{};
    return false;
}

bool MatchesGdtRecordLength(std::string_view bytes) {
    const auto length = RecordLength(bytes);
    const std::string_view record = BeforeEndOfFile(bytes);
    const auto size = static_cast<int64_t>(record.size());
    const bool lastLineEnded = !record.empty() && record.back() == '\n';
    return !length || *length == size || (!lastLineEnded && *length == size + 2);
}

GdtRequestFile ReadGdtRequestFile(const std::string& path, const std::function<void()>& pause) {
    GdtRequestFile request;
    const std::optional<FileStamp> before = FileStampOf(path);
    if (before && before->size > MaxGdtRecordBytes) {
        request.state = GdtRequestState::TooLarge;
        return request;
    }
    if (IsOpenForWriting(path)) {
        return request;
    }
    std::string bytes = ReadFileStart(path, MaxGdtRecordBytes + 1);
    if (bytes.size() > MaxGdtRecordBytes) {
        request.state = GdtRequestState::TooLarge;
        return request;
    }
    if (!before || before->size != bytes.size() || !MatchesGdtRecordLength(bytes)) {
        return request;
    }
    pause();
    if (FileStampOf(path) != before || IsOpenForWriting(path)) {
        return request;
    }
    request = {GdtRequestState::Complete, std::move(bytes), *before};
    return request;
}

void PauseForRequestWriter() {
    std::this_thread::sleep_for(RequestSettleTime);
}

namespace {

// A name beside the request that no practice software writes, short enough for any folder in
// which the request's own name fits.
std::string AsideName(const std::string& path) {
    static std::mt19937_64 random{std::random_device{}()};
    char digits[17] = {};
    std::to_chars(digits, digits + 16, random(), 16);
    return GdtFolderPart(path) + ".lq" + digits + ".taken";
}

} // namespace

RequestConsumption ConsumeGdtRequest(const std::string& path, const FileStamp& stamp,
                                     const std::function<void()>& beforeMove) {
    beforeMove();
    const std::string aside = AsideName(path);
    if (!MoveFileNoReplace(path, aside)) {
        return FileExists(path) ? RequestConsumption::NotRemoved : RequestConsumption::Consumed;
    }
    if (FileStampOf(aside) == stamp) {
        if (DeleteFile(aside)) {
            return RequestConsumption::Consumed;
        }
        MoveFileNoReplace(aside, path);
        return RequestConsumption::NotRemoved;
    }
    // A newer request was moved: it goes back, unless a newer one still has taken the place.
    if (!MoveFileNoReplace(aside, path)) {
        DeleteFile(aside);
    }
    return RequestConsumption::Replaced;
}

std::string UnreadableRequestMessage(const std::string& path, const std::string& reason) {
    return "Die GDT-Importdatei \"" + path + "\" kann nicht gelesen werden: " + reason +
           "\r\nDie Messung wird ohne Patient angezeigt.";
}

std::string PatientDisplayName(const PatientRecord& patient) {
    return IfThenStr(patient.FirstName.empty(), patient.Surname,
                     patient.Surname + ", " + patient.FirstName);
}

std::string ExportConfirmationText(const PatientRecord& patient) {
    return "Messwerte werden nach " + patient.Surname + ", Patientnr. " + patient.PatientNo +
           " exportiert.";
}

std::string BuildGdtResult(const GdtResultData& data) {
    return WithLengthLine(PatientLines(data) + ResultTextLines(data));
}

const GdtTestIdents& DefaultTestIdents() {
    static const GdtTestIdents idents = {"8480-6", "8462-4", "8867-4", "8478-0", "ARRHY"};
    return idents;
}

std::optional<GdtTestIdents> ParseTestIdents(std::string_view setting) {
    if (setting.empty()) {
        return DefaultTestIdents();
    }
    GdtTestIdents idents;
    size_t count = 0;
    for (std::string_view rest = setting;; ++count) {
        const size_t end = rest.find(';');
        const std::string_view ident = rest.substr(0, end);
        if (count == TestValueCount || ident.empty() || ident.size() > MaxTestIdentLength ||
            !std::all_of(ident.begin(), ident.end(), IsIdentChar)) {
            return std::nullopt;
        }
        idents[count] = std::string(ident);
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    if (count + 1 != TestValueCount) {
        return std::nullopt;
    }
    return idents;
}

std::optional<std::string> BuildGdtResult(const GdtResultData& data,
                                          const GdtResultOptions& options) {
    std::string body = PatientLines(data);
    if (options.TestValues) {
        body += GdtLine(GdtField::MeasurementTime, FormatDateTimeByMask("HHNNSS", data.MeasuredAt));
    }
    body += ResultTextLines(data);
    if (options.Attachment) {
        body += AttachmentLines(*options.Attachment);
    }
    if (options.TestValues) {
        const std::optional<std::string> blocks = TestBlocks(data, options.TestIdents);
        if (!blocks) {
            return std::nullopt;
        }
        body += *blocks;
    }
    return WithLengthLine(body);
}

std::string GdtFolderPart(const std::string& fileName) {
    const auto end = std::find_if(fileName.rbegin(), fileName.rend(),
                                  [](char c) { return IsPathSeparator(c) || c == ':'; });
    return std::string(fileName.begin(), end.base());
}

std::string InvalidExportPathMessage(const std::string& fileName) {
    return "Ungültiger Pfad für Exportdatei: \r\n\r\n\"" + fileName +
           "\"\r\n\r\nSiehe Einstellungen -> Import/Export.";
}

bool ExportGdtResultFile(const std::string& fileName, const GdtResultData& data) {
    return ExportGdtResultFile(fileName, BuildGdtResult(data));
}

bool ExportGdtResultFile(const std::string& fileName, std::string_view record) {
    const std::string folder = GdtFolderPart(fileName);
    if (folder.empty() || !DirectoryExists(folder)) {
        return false;
    }
    WriteFileInOnePiece(fileName, record);
    return true;
}
