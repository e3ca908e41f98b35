#pragma once
// A report filled with its data: what each page shows, ready for a renderer. Positions are in
// millimetres from the top-left corner of the page's content area.

#include "report/ReportProject.h"
#include "report/RvConnection.h"

#include <QImage>
#include <map>
#include <string>
#include <variant>
#include <vector>

struct PlacedText {
    MmRect box;
    std::string text;
    TextStyle style;
    HorizontalAlign align = HorizontalAlign::Left;
    VerticalAlign valign = VerticalAlign::Top;
    bool wrap = false;
};

struct PlacedImage {
    MmRect box;
    QImage image;
};

using PlacedItem = std::variant<PlacedText, LineElement, BoxElement, PlacedImage>;

struct FilledPage {
    // In drawing order: later items lie over earlier ones.
    std::vector<PlacedItem> items;
};

struct FilledDocument {
    std::string title;
    PageSetup page;
    std::vector<FilledPage> pages;
};

using ReportParams = std::map<std::string, std::string>;
// The decoded images of a project by the file name its elements use.
using ReportImages = std::map<std::string, QImage>;

// One page per row, each element's texts filled from that row and the parameters; a report
// without a connection gets one page from the parameters alone. Throws ReportError before
// filling anything when an element names a column the fields do not have or a parameter that is
// not set, or when there are no rows.
FilledDocument FillReport(const ReportDefinition& report, const std::vector<TRvField>& fields,
                          const std::vector<TRvRow>& rows, const ReportParams& params,
                          const ReportImages& images);
