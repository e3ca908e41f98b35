#pragma once
// GDT exchange with the practice software: the request file that names the patient of the next
// measurement and the result record written for it. GDT files are 8-bit bytes; our texts are
// UTF-8.

#include "support/VexDateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

// The patient of the last GDT request.
struct PatientRecord {
    int32_t PatientNo = 0;
    std::string Surname;
    std::string FirstName;
    TDateTime BirthDate = 0;

    bool operator==(const PatientRecord&) const = default;
};

inline constexpr const char* InvalidImportMessage = "Ungültige Importdatei gefunden.";

// Takes the fields of a request's bytes into patient and senderId (kept as raw bytes). False
// when the content is invalid: patient is then cleared, senderId keeps what lines before the
// bad one set. Fields missing from the request keep their earlier values.
bool ParseGdtRequest(std::string_view bytes, PatientRecord& patient, std::string& senderId);

// ParseGdtRequest on the file's content. A file that cannot be read throws FileError before
// anything has changed.
bool ImportGdtRequestFile(const std::string& path, PatientRecord& patient, std::string& senderId);

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

// The folder part of a GDT file's path, the same for the request and the result file:
// everything of fileName up to and including its last path separator or ":"; empty without one.
std::string GdtFolderPart(const std::string& fileName);
std::string InvalidExportPathMessage(const std::string& fileName);

// Writes the result record in one piece. False, with nothing written, when the folder of
// fileName does not exist; the caller shows InvalidExportPathMessage then. A file that cannot be
// written throws FileError.
bool ExportGdtResultFile(const std::string& fileName, const GdtResultData& data);
