#pragma once
// The PDF checks of the report tests, through poppler-utils and qpdf (scripts/install-deps).

#include <string>
#include <vector>

struct CommandResult {
    int exitCode = -1;
    std::string out;
};

// Runs a program from PATH with the arguments; its standard error is kept with its output. On
// Windows under Wine the tools are the Unix ones: an argument that is an absolute Windows path
// reaches them as the Unix path of that file.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args);

// pdftotext with the page's layout kept.
std::string PdfText(const std::string& pdf);
// pdfinfo -meta: the XMP metadata.
std::string PdfMetadata(const std::string& pdf);
// pdfinfo: the document information and page count.
std::string PdfInfo(const std::string& pdf);

struct PdfFont {
    std::string name;
    bool embedded = false;
};
// The fonts pdffonts lists.
std::vector<PdfFont> PdfFonts(const std::string& pdf);

// qpdf --check; exit code 0 when it finds nothing.
CommandResult QpdfCheck(const std::string& pdf);

// Rasterises the first page with pdftoppm as PNG at the resolution; the PNG's path.
std::string PdfPagePng(const std::string& pdf, const std::string& pngWithoutSuffix, int dpi);
