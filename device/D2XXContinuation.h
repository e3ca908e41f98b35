#pragma once
// Recognising a monitor frame whose bytes straddled the end of a read.

#include <cstdint>

// True when the received bytes are the start of a 14-byte frame (type 80 to 89) but not all of
// it: a first byte "8" alone, or "8" and a decimal digit followed by fewer than 12 bytes.
bool IsPartialFrame(const uint8_t* buffer, uint32_t received);
