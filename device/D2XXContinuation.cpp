#include "device/D2XXContinuation.h"

#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"

#include <algorithm>
#include <array>
#include <cstring>

bool IsPartialFrame(const uint8_t* buffer, uint32_t received) {
    if (received == 0 || received >= FrameLength || buffer[0] != '8') {
        return false;
    }
    return received == 1 || (buffer[1] >= '0' && buffer[1] <= '9');
}

uint32_t ReadFTDeviceAt(uint32_t offset, uint32_t count) {
    // Read aside first: a failed read must not leave half-written bytes in the buffer.
    std::array<uint8_t, FrameLength> rest{};
    if (offset >= ReceiveBufferSize) {
        return 0;
    }
    count = std::min({count, static_cast<uint32_t>(rest.size()), ReceiveBufferSize - offset});
    uint32_t got = 0;
    LastReadStatus = FT_Read(DeviceHandle, rest.data(), count, &got);
    if (LastReadStatus != FT_OK) {
        ReportFTError("FT_Read", LastReadStatus);
        return 0;
    }
    got = std::min(got, count);
    std::memcpy(ReceiveBuffer.data() + offset, rest.data(), got);
    return got;
}
