#include "support/widgets/VexFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>

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

} // namespace

std::string WindowsFontReplacementDir() {
    return "/usr/share/wine/fonts";
}

std::vector<std::string> RegisterWindowsFontReplacements() {
    static const std::vector<std::string> families = RegisterFromDir(WindowsFontReplacementDir());
    return families;
}
