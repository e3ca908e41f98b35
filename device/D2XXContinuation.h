#pragma once
// Completing a monitor frame whose bytes straddled the end of a read.

#include <cstdint>

// True when the received bytes are the start of a 14-byte frame (type 80 to 89) but not all of
// it: a first byte "8" alone, or "8" and a decimal digit followed by fewer than 12 bytes.
bool IsPartialFrame(const uint8_t* buffer, uint32_t received);

// Reads up to count bytes into ReceiveBuffer from offset on, waiting at most the read time-out;
// the rest of the buffer stays. As ReadFTDevice: the status goes to LastReadStatus, a failure
// returns 0 and leaves the buffer as it was.
uint32_t ReadFTDeviceAt(uint32_t offset, uint32_t count);
