#pragma once
// The measurement time stamp as the user's locale writes a short date and time.

#include "support/VexDateTime.h"

#include <string>

// The date in the short date format, one blank, the time in the short time format; month and
// AM/PM names of the formats' locale.
std::string FormatShortDateTime(TDateTime moment, const TFormatSettings& formats);
