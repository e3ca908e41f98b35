#include "platform/files/Files.h"

std::string IoErrorText(int windowsErrorCode) {
    switch (windowsErrorCode) {
    case 2:
        return "Datei nicht gefunden";
    case 3:
        return "Ungültiger Dateiname";
    case 4:
        return "Zu viele geöffnete Dateien";
    case 5:
        return "Dateizugriff verweigert";
    default:
        return "E/A-Fehler " + std::to_string(windowsErrorCode);
    }
}

std::string FileCreationErrorText(const std::string& path, const std::string& systemText) {
    return "Datei \"" + path + "\" kann nicht erstellt werden. " + systemText;
}
