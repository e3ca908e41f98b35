#include "common/device/MonitorLine.h"

#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"

#include <gtest/gtest.h>

void ResetDeviceUnit() {
    DeviceHandle = nullptr;
    ErrorReportsEnabled = false;
    LastReadStatus = FT_OK;
    DeviceCount = 0;
    QueuedBytes = 0;
    DeviceInfo.clear();
    ClearReceivedBytes();
}

bool Listed(uint32_t count) {
    return GetFTDeviceCount() == FT_OK && DeviceCount == count;
}

std::string SerialAt(uint32_t index) {
    DeviceInfo.clear();
    GetFTDeviceSerialNo(index);
    return DeviceInfo;
}

void OpenWithMonitorSettings(const std::string& serialNumber) {
    ASSERT_EQ(Open_USB_Device_By_Serial_Number(serialNumber), FT_OK);
    BaudRate = 9600;
    WordLength = FT_BITS_8;
    StopBits = FT_STOP_BITS_2;
    Parity = FT_PARITY_NONE;
    ASSERT_EQ(SetFTDeviceBaudRate(), FT_OK);
    ASSERT_EQ(SetFTDeviceDataCharacteristics(), FT_OK);
    ASSERT_EQ(SetFTDeviceTimeouts(50, 0), FT_OK);
}
