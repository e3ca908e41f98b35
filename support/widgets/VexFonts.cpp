#include "support/widgets/VexFonts.h"

#include "support/VexFiles.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <map>

namespace {

constexpr std::array kFontFiles = {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf",
                                   "small_fonts.ttf", "courier.ttf"};

void AddOnce(std::vector<std::string>& families, const std::string& family) {
    if (std::find(families.begin(), families.end(), family) == families.end()) {
        families.push_back(family);
    }
}

std::vector<std::string> RegisterFromDir(const std::string& dir) {
    std::vector<std::string> families;
    for (const char* file : kFontFiles) {
        const QString path = QString::fromStdString(dir) + "/" + file;
        if (!QFile::exists(path)) {
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(path);
        for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
            AddOnce(families, family.toStdString());
        }
    }
    return families;
}

// The families of the windows' texts; each falls back to the program's own sans serif.
constexpr std::array kDesignedFamilies = {"Arial", "Tahoma", "MS Sans Serif"};

std::vector<std::string> RegisterFromProgramDir() {
    const QDir folder(QString::fromStdString(ProgramDir));
    std::vector<std::string> families;
    for (const QString& file : folder.entryList({"*.ttf"}, QDir::Files, QDir::Name)) {
        const int id = QFontDatabase::addApplicationFont(folder.filePath(file));
        for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
            AddOnce(families, family.toStdString());
        }
    }
    QStringList fallbacks;
    for (const std::string& family : families) {
        fallbacks << QString::fromStdString(family);
    }
    for (const char* designed : kDesignedFamilies) {
        QFont::insertSubstitutions(designed, fallbacks);
    }
    return families;
}

} // namespace

std::string WindowsFontReplacementDir() {
    return "/usr/share/wine/fonts";
}

std::vector<std::string> RegisterWindowsFontReplacements() {
    static const std::vector<std::string> families = RegisterFromDir(WindowsFontReplacementDir());
    return families;
}

std::vector<std::string> RegisterProgramFonts() {
    static std::map<std::string, std::vector<std::string>> registered;
    const auto known = registered.find(ProgramDir);
    if (known != registered.end()) {
        return known->second;
    }
    return registered[ProgramDir] = RegisterFromProgramDir();
}
