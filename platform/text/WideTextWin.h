#pragma once
// UTF-8 text of ours against the UTF-16 text of the Windows W functions.

#include <string>
#include <string_view>

// Malformed UTF-8 becomes U+FFFD, as the system converts it.
std::wstring Widen(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view text);

// The system's text for a Windows error number, without its closing line break.
std::string SystemErrorText(unsigned long error);
