#pragma once
// The copies of reports that the practice software takes over: one file per export, never
// overwritten, named after the patient and the time of the measurement.

#include "app/Gdt.h"
#include "support/VexDateTime.h"

#include <string>
#include <string_view>

// "<patient number>_<YYYYMMDD-HHMMSS>", the characters a file name cannot hold replaced by "_".
std::string ArchiveBaseName(const std::string& patientNo, TDateTime measuredAt);

// A file in folder that does not exist yet, baseName + ".pdf" or, if taken, baseName + "_2.pdf"
// and so on; its base name is the archive number. The path is absolute. Throws FileError when
// every name is taken.
GdtAttachment FreeArchiveName(const std::string& folder, const std::string& baseName);

// True when the practice software can read path from the record: it has no character that the
// record's code page lacks.
bool FitsRecordCodePage(const std::string& path);

std::string ArchiveFolderMissingMessage(const std::string& folder);
std::string ArchiveFolderUnreadableMessage(const std::string& folder);
std::string ArchiveCopyFailedMessage(const std::string& reason);
inline constexpr const char* NoReportToArchiveMessage =
    "Für diese Messung liegt kein PDF-Bericht vor (kein PDF-Zielordner festgelegt oder der "
    "Bericht wurde nicht erzeugt).\r\n\r\nDie Messwerte werden ohne Bericht exportiert.";
inline constexpr const char* InvalidTestIdentsMessage =
    "Die Testkennungen in den Einstellungen sind ungültig: erwartet werden fünf Kennungen ohne "
    "Leerzeichen, je höchstens 20 Zeichen, durch \";\" getrennt.\r\n\r\nDie Messwerte wurden "
    "nicht exportiert. Siehe Einstellungen -> Erweitert.";
inline constexpr const char* NoMonitorValuesMessage =
    "Die angezeigten Werte stammen nicht von einer gültigen Messung.\r\n\r\nDie Messwerte wurden "
    "nicht exportiert.";
