#include "device/D2XXContinuation.h"

#include "device/MeasurementFrame.h"

bool IsPartialFrame(const uint8_t* buffer, uint32_t received) {
    if (received == 0 || received >= FrameLength || buffer[0] != '8') {
        return false;
    }
    return received == 1 || (buffer[1] >= '0' && buffer[1] <= '9');
}
