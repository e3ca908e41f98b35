#pragma once
// Key paths of the program's own settings: section, value name and default, separated by CR.

inline constexpr const char* PdfFolderKey = "Directories\rPDF\r";
inline constexpr const char* PdfShowKey = "PDF\rShow\rNO";
inline constexpr const char* PdfPrintKey = "PDF\rPrint\rNO";
inline constexpr const char* ImportPathKey = "GDT\rImport\rimport.gdt";
inline constexpr const char* ExportPathKey = "GDT\rExport\rexport.gdt";
inline constexpr const char* LastConnectedKey = "Device\rLastConnected\r";

// A flag setting is on only when it holds exactly FlagOn.
inline constexpr const char* FlagOn = "YES";
inline constexpr const char* FlagOff = "NO";

// What the result record carries beyond the text lines, and where the report copies lie that
// it references.
inline constexpr const char* GdtTestValuesKey = "GDT\rTestwerte\rNO";
inline constexpr const char* GdtAttachmentKey = "GDT\rAnhang\rNO";
inline constexpr const char* ArchiveFolderKey = "Directories\rArchiv\r";
inline constexpr const char* GdtTestIdentsKey = "GDT\rTestkennungen\r";
