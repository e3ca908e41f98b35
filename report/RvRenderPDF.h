#pragma once
// TRvRenderPDF: renders a filled report as PDF/A-1b, the archival form for patient records:
// every font embedded, XMP metadata naming the conformance, an sRGB output intent, the title and
// the creation date. Draws in memory; the output system writes the bytes.

#include "report/ReportDocument.h"

#include <string>

class TRvRenderPDF {
public:
    // Dots per inch of the drawing; text and lines are vectors at any value, it only sets how
    // finely positions are rounded.
    static constexpr int Resolution = 1200;
    // The document's creator entry: the engine's own identification.
    static constexpr const char* Creator = "lirn Quarn Berichtsmodul";

    // The PDF's bytes. Needs the QGuiApplication for the fonts. Throws ReportError when Qt
    // cannot draw the document.
    std::string Render(const FilledDocument& document) const;
};
