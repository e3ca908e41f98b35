// Any bytes as a GDT request: the reader must neither crash nor break its promises, and the
// result record written for what it read must stay well-formed.

#include "app/Gdt.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool NoLineBreak(std::string_view text) {
    return text.find_first_of("\r\n\x1a") == std::string_view::npos;
}

void CheckRecord(const std::string& record) {
    size_t start = 0;
    int lines = 0;
    while (start < record.size()) {
        const size_t end = record.find("\r\n", start);
        Require(end != std::string::npos, "every line ends with CR LF");
        const std::string_view line(record.data() + start, end - start);
        Require(line.size() >= 3 && std::stoul(std::string(line.substr(0, 3))) == line.size() + 2,
                "length field counts the line");
        start = end + 2;
        ++lines;
    }
    Require(lines == 21, "21 lines");
    Require(std::stoul(record.substr(13 + 7, 5)) == record.size(),
            "record length is the file size");
}

// Any lines behind a record type and a record length that counts them: whole, the record
// matches its length; cut anywhere before its last line end, it does not.
void CheckRecordLength(std::string_view body) {
    if (body.size() > MaxGdtRecordBytes - 100 || body.find('\x1a') != std::string_view::npos) {
        return;
    }
    const std::string head = "01380006302\r\n";
    const std::string total = std::to_string(head.size() + 14 + body.size());
    const std::string record =
        head + "0148100" + std::string(5 - total.size(), '0') + total + "\r\n" + std::string(body);
    Require(MatchesGdtRecordLength(record), "a whole record matches its length");
    const size_t cut = head.size() + 14 + body.size() / 2;
    if (cut + 3 <= record.size()) {
        Require(!MatchesGdtRecordLength(std::string_view(record).substr(0, cut)),
                "a cut record does not");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const PatientRecord earlier{99, "Alt", "Vorher", 1000.5};
    const std::string earlierSender = "OLD\r\n";
    PatientRecord patient = earlier;
    std::string senderId = earlierSender;

    const bool valid = ParseGdtRequest(bytes, patient, senderId);

    Require(valid || patient == PatientRecord{}, "a rejected request clears the patient");
    // Neither a date with a time of day nor a line break can come from a request.
    Require(patient.BirthDate != earlier.BirthDate && senderId != earlierSender,
            "nothing of an earlier request stays");
    CheckRecordLength(bytes);
    Require(senderId.size() <= 255, "sender identifier cut at 255 bytes");
    Require(NoLineBreak(senderId) && NoLineBreak(patient.Surname) && NoLineBreak(patient.FirstName),
            "fields that go back into lines hold no line break");

    GdtResultData result;
    result.SenderId = senderId;
    result.Patient = patient;
    result.NameCaption = PatientDisplayName(patient);
    CheckRecord(BuildGdtResult(result));
    return 0;
}
