#include "app/ReportArchive.h"

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "support/VexStrings.h"

#include <QDir>
#include <QString>
#include <algorithm>

namespace {

// More copies of one measurement than any practice makes: past them something is wrong.
constexpr int MaxArchiveSuffix = 999;

const char* const ExportNotDone =
    "\r\n\r\nDie Messwerte wurden nicht exportiert; der Bericht bleibt erhalten. Bitte den "
    "Archivordner prüfen (Einstellungen -> Erweitert) und erneut exportieren.";

// What Windows refuses in a name, and the separators of every system.
bool IsFileNameChar(char c) {
    return static_cast<unsigned char>(c) >= ' ' &&
           std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos;
}

std::string AbsolutePath(const std::string& folder, const std::string& name) {
    const QString path =
        QDir(QString::fromStdString(folder)).absoluteFilePath(QString::fromStdString(name));
    return QDir::toNativeSeparators(QDir::cleanPath(path)).toStdString();
}

} // namespace

std::string ArchiveBaseName(const std::string& patientNo, TDateTime measuredAt) {
    std::string name = patientNo;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !IsFileNameChar(c); }, '_');
    return name + "_" + FormatDateTimeByMask("YYYYMMDD-HHNNSS", measuredAt);
}

GdtAttachment FreeArchiveName(const std::string& folder, const std::string& baseName) {
    for (int suffix = 1; suffix <= MaxArchiveSuffix; ++suffix) {
        const std::string archiveNo =
            suffix == 1 ? baseName : baseName + "_" + std::to_string(suffix);
        const std::string path = AbsolutePath(folder, archiveNo + ".pdf");
        if (!FileExists(path) && !DirectoryExists(path)) {
            return {archiveNo, path};
        }
    }
    throw FileError("Im Archivordner sind alle Namen für " + baseName + ".pdf vergeben.");
}

bool FitsRecordCodePage(const std::string& path) {
    return ConvertCp1252ToText(ConvertTextToCp1252(path)) == path;
}

std::string ArchiveFolderMissingMessage(const std::string& folder) {
    return "Der Archivordner <" + folder + "> existiert nicht." + ExportNotDone;
}

std::string ArchiveFolderUnreadableMessage(const std::string& folder) {
    return "Der Pfad des Archivordners <" + folder +
           "> enthält Zeichen, die die Praxissoftware nicht lesen kann." + ExportNotDone;
}

std::string ArchiveCopyFailedMessage(const std::string& reason) {
    return "Der Bericht konnte nicht ins Archiv kopiert werden:\r\n\r\n" + reason + ExportNotDone;
}
