#include "app/Gdt.h"

#include "platform/files/Files.h"
#include "support/VexStrings.h"

#include <charconv>
#include <cstddef>
#include <system_error>

namespace {

constexpr char EndOfFile = '\x1a';
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
    return recordType == 6301 || recordType == 6302 || recordType == 6311;
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

// False when the line makes the request invalid.
bool TakeField(int32_t field, std::string_view line, RequestState& state) {
    switch (field) {
    case 8000:
        return IsAcceptedRecordType(IntegerOr(Chars(line, 8, 4), 0));
    case 3000:
        state.patient.PatientNo = IntegerOr(Content(line), 0);
        return true;
    case 3101:
        state.patient.Surname = DecodeName(Content(line), state.convertNames);
        return true;
    case 3102:
        state.patient.FirstName = DecodeName(Content(line), state.convertNames);
        return true;
    case 3103:
        return TakeBirthDate(line, state.patient);
    case 8316:
        state.senderId = std::string(Content(line));
        return true;
    case 9206:
        state.convertNames = IntegerOr(Chars(line, 8, 1), 2) == 2;
        return true;
    case 9218:
        return IsVersionAtLeastOne(Content(line));
    default:
        return true;
    }
}

bool ReadRequestLines(std::string_view bytes, RequestState& state) {
    std::string_view rest = bytes.substr(0, bytes.find(EndOfFile));
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

std::string GdtLine(std::string_view text) {
    text = text.substr(0, MaxLineText);
    return IntToStrZero(static_cast<int64_t>(text.size()) + 5, 3) + std::string(text) + "\r\n";
}

std::string TextLine(std::string_view label, const std::string& caption) {
    return GdtLine("6228    " + std::string(label) + ConvertTextToCp1252(caption));
}

// Every line but the record length, which counts them all.
std::string ResultBody(const GdtResultData& data) {
    const PatientRecord& patient = data.Patient;
    const std::string separator = GdtLine("6228============================");
    return GdtLine("8315" + data.SenderId) + GdtLine("8316LIRN_QP") + GdtLine("921802.10") +
           GdtLine("3000" + std::to_string(patient.PatientNo)) +
           GdtLine("3101" + ConvertAnsiToOem(patient.Surname)) +
           GdtLine("3102" + ConvertAnsiToOem(patient.FirstName)) +
           GdtLine("3103" + FormatGdtDate(patient.BirthDate)) + GdtLine("8402BDM00") +
           GdtLine("6200" + FormatGdtDate(data.MeasuredAt)) +
           GdtLine("6228    lirn Quarn professional") + separator +
           GdtLine("6228    Patient: " + ConvertAnsiToOem(data.NameCaption)) +
           TextLine("Messdatum: ", data.DateTimeCaption) +
           TextLine("Systole: ", data.SystoleCaption) +
           TextLine("Diastole: ", data.DiastoleCaption) + TextLine("Puls: ", data.PulsCaption) +
           TextLine("MAD: ", data.MadCaption) + TextLine("Arrhythmie: ", data.ArrCaption) +
           separator;
}

} // namespace

bool ParseGdtRequest(std::string_view bytes, PatientRecord& patient, std::string& senderId) {
    RequestState state{patient, senderId};
    if (ReadRequestLines(bytes, state)) {
        return true;
    }
    patient = PatientRecord{};
    return false;
}

bool ImportGdtRequestFile(const std::string& path, PatientRecord& patient, std::string& senderId) {
    return ParseGdtRequest(ReadFileBytes(path), patient, senderId);
}

std::string PatientDisplayName(const PatientRecord& patient) {
    return IfThenStr(patient.FirstName.empty(), patient.Surname,
                     patient.Surname + ", " + patient.FirstName);
}

std::string ExportConfirmationText(const PatientRecord& patient) {
    return "Messwerte werden nach " + patient.Surname + ", Patientnr. " +
           std::to_string(patient.PatientNo) + " exportiert.";
}

std::string BuildGdtResult(const GdtResultData& data) {
    const std::string head = GdtLine("80006310");
    const std::string body = ResultBody(data);
    const size_t lengthLineSize = 14;
    const size_t total = head.size() + lengthLineSize + body.size();
    return head + GdtLine("8100" + IntToStrZero(static_cast<int64_t>(total), 5)) + body;
}

std::string GdtFolderPart(const std::string& fileName) {
    const size_t last = fileName.find_last_of("/:");
    return last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
}

std::string InvalidExportPathMessage(const std::string& fileName) {
    return "Ungültiger Pfad für Exportdatei: \r\n\r\n\"" + fileName +
           "\"\r\n\r\nSiehe Einstellungen -> Import/Export.";
}

bool ExportGdtResultFile(const std::string& fileName, const GdtResultData& data) {
    const std::string folder = GdtFolderPart(fileName);
    if (folder.empty() || !DirectoryExists(folder)) {
        return false;
    }
    WriteFileInOnePiece(fileName, BuildGdtResult(data));
    return true;
}
