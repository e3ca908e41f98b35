#pragma once
// Dates and the measurement time stamp as the user's locale writes them.

#include "support/VexDateTime.h"

#include <string>

// The date in the short date format, with the names of the formats' locale.
std::string FormatShortDate(TDateTime moment, const TFormatSettings& formats);

// The date in the short date format, one blank, the time in the short time format; month and
// AM/PM names of the formats' locale.
std::string FormatShortDateTime(TDateTime moment, const TFormatSettings& formats);
