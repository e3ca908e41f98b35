#pragma once
// GDT exchange with the practice software: the request file that names the patient of the next
// measurement and the result record written for it. GDT files are 8-bit bytes; our texts are
// UTF-8.

#include "platform/files/Files.h"
#include "support/VexDateTime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The patient of the last GDT request.
struct PatientRecord {
    // As the practice software wrote it, without the blanks around it: it goes back unchanged.
    std::string PatientNo;
    std::string Surname;
    std::string FirstName;
    TDateTime BirthDate = 0;

    bool operator==(const PatientRecord&) const = default;
};

inline constexpr const char* InvalidImportMessage = "Ungültige Importdatei gefunden.";

// The five digits of a record length: a longer request cannot be a GDT record.
inline constexpr size_t MaxGdtRecordBytes = 99999;

// The longest patient number a GDT record carries.
inline constexpr size_t MaxPatientNoLength = 10;

// Takes the fields of a request's bytes into patient and senderId (kept as raw bytes). Both
// start cleared, so that nothing of an earlier request stays: a field missing from the request
// is empty. False when the content is invalid, a patient number that is empty, has blanks,
// control or non-ASCII characters, or is longer than MaxPatientNoLength included. Patient is then
// cleared, senderId keeps what lines before the bad one set.
bool ParseGdtRequest(std::string_view bytes, PatientRecord& patient, std::string& senderId);

// True unless the request has a record length (field 8100) that differs from its size up to a
// Ctrl-Z; a last line without its line end may lack the two bytes the length counts for it.
bool MatchesGdtRecordLength(std::string_view bytes);

enum class GdtRequestState {
    Complete,
    // Still being written, or changing: it is neither read into the patient nor deleted.
    Incomplete,
    // Larger than a GDT record can be; read no further.
    TooLarge,
};

struct GdtRequestFile {
    GdtRequestState state = GdtRequestState::Incomplete;
    // The bytes of a complete request.
    std::string bytes;
    // The file as it was read.
    FileStamp stamp;
};

// Reads the request at path once it is complete: no program is known to hold it open for
// writing, its record length (field 8100), where it has one, matches the bytes, and it is the
// same file with the same size and time of change before and after pause, a short wait in which
// a writer still at work would show. Never reads more than one byte beyond the largest record.
// A file that cannot be read throws FileError.
GdtRequestFile ReadGdtRequestFile(const std::string& path, const std::function<void()>& pause);

// The wait between the two looks at a request: a few tens of milliseconds, on the GUI thread.
void PauseForRequestWriter();

enum class RequestConsumption {
    // The request that was read is gone.
    Consumed,
    // Another request took its place before it could be removed: that one stays for the next
    // measurement.
    Replaced,
    // It could not be removed (the folder is not the user's): it stays where it is.
    NotRemoved,
};

// Removes the request that was read as stamp, and only that one: the file at path is first
// moved aside under a name of our own, so that a request the practice software puts in its place
// meanwhile is never removed unread. beforeMove runs just before the move (tests delay there).
RequestConsumption ConsumeGdtRequest(const std::string& path, const FileStamp& stamp,
                                     const std::function<void()>& beforeMove);

// The message of a request that exists but cannot be read: it names the file and the reason.
std::string UnreadableRequestMessage(const std::string& path, const std::string& reason);

// "Surname, FirstName", or the surname alone when there is no first name.
std::string PatientDisplayName(const PatientRecord& patient);

// What the result record carries: the request's patient and sender, the time of the
// measurement and the captions the main window shows for it.
struct GdtResultData {
    std::string SenderId;
    PatientRecord Patient;
    TDateTime MeasuredAt = 0;
    std::string NameCaption;
    std::string DateTimeCaption;
    std::string SystoleCaption;
    std::string DiastoleCaption;
    std::string PulsCaption;
    std::string MadCaption;
    std::string ArrCaption;
};

// The question asked before the export.
std::string ExportConfirmationText(const PatientRecord& patient);

// The result record's bytes: 21 GDT lines of record type 6310.
std::string BuildGdtResult(const GdtResultData& data);

// The five values in the order of the record, each with the test ident a practice system files
// it under.
inline constexpr size_t TestValueCount = 5;
using GdtTestIdents = std::array<std::string, TestValueCount>;
// LOINC codes for the four numbers; the arrhythmia flag has none.
const GdtTestIdents& DefaultTestIdents();
inline constexpr size_t MaxTestIdentLength = 20;

// The own idents of the setting, five texts separated by ";"; the empty text gives the defaults.
// Nothing when a text is empty, longer than MaxTestIdentLength, has blanks, control or non-ASCII
// characters, or when there are not five.
std::optional<GdtTestIdents> ParseTestIdents(std::string_view setting);

// The copy of the report that the result references.
struct GdtAttachment {
    std::string ArchiveNo;
    std::string Path;
};

// What a practice may ask for beyond the text lines.
struct GdtResultOptions {
    // The time of the measurement and one test block per value.
    bool TestValues = false;
    GdtTestIdents TestIdents = DefaultTestIdents();
    std::optional<GdtAttachment> Attachment;
};

// The record with the options; without any, the same bytes as above. Nothing when test values
// are asked for but a caption is not what a monitor sends (a plain number, "Ja" or "Nein").
std::optional<std::string> BuildGdtResult(const GdtResultData& data,
                                          const GdtResultOptions& options);

// The folder part of a GDT file's path, the same for the request and the result file:
// everything of fileName up to and including its last path separator or ":"; empty without one.
std::string GdtFolderPart(const std::string& fileName);
std::string InvalidExportPathMessage(const std::string& fileName);

// Writes the result record in one piece. False, with nothing written, when the folder of
// fileName does not exist; the caller shows InvalidExportPathMessage then. A file that cannot be
// written throws FileError.
bool ExportGdtResultFile(const std::string& fileName, const GdtResultData& data);
// The same for a record already built.
bool ExportGdtResultFile(const std::string& fileName, std::string_view record);
