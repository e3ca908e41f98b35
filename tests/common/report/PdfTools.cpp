#include "common/report/PdfTools.h"

#include <sstream>

std::string PdfText(const std::string& pdf) {
    return RunCommand("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"}).out;
}

std::string PdfMetadata(const std::string& pdf) {
    return RunCommand("pdfinfo", {"-meta", pdf}).out;
}

std::string PdfInfo(const std::string& pdf) {
    return RunCommand("pdfinfo", {pdf}).out;
}

std::vector<PdfFont> PdfFonts(const std::string& pdf) {
    std::istringstream lines(RunCommand("pdffonts", {pdf}).out);
    std::vector<PdfFont> fonts;
    std::string line;
    // Two heading lines, then name, type, encoding, emb, sub, uni, object, generation; the type
    // may hold a blank ("CID TrueType"), so the columns are counted from the right.
    for (int heading = 0; heading < 2 && std::getline(lines, line); ++heading) {
    }
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> columns;
        for (std::string word; words >> word;) {
            columns.push_back(word);
        }
        if (columns.size() < 7) {
            continue;
        }
        fonts.push_back({columns.front(), columns[columns.size() - 5] == "yes"});
    }
    return fonts;
}

CommandResult QpdfCheck(const std::string& pdf) {
    return RunCommand("qpdf", {"--check", pdf});
}

std::string PdfPagePng(const std::string& pdf, const std::string& pngWithoutSuffix, int dpi) {
    RunCommand("pdftoppm",
               {"-png", "-r", std::to_string(dpi), "-singlefile", pdf, pngWithoutSuffix});
    return pngWithoutSuffix + ".png";
}
