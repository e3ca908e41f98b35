#include "device/D2XXUnit.h"

#include "support/VexMsgFlags.h"

#include <algorithm>
#include <cstring>

FT_HANDLE DeviceHandle = nullptr;
bool ErrorReportsEnabled = true;
FT_STATUS LastReadStatus = FT_OK;
uint32_t DeviceCount = 0;
uint32_t QueuedBytes = 0;
std::string DeviceInfo;
std::array<uint8_t, ReceiveBufferSize> ReceiveBuffer{};
uint32_t BaudRate = 0;
uint8_t WordLength = 0;
uint8_t StopBits = 0;
uint8_t Parity = 0;

TFTErrorDialog FTErrorDialog = nullptr;

namespace {

char SerialNumberBuffer[SerialNumberBufferSize];
char DescriptionBuffer[DescriptionBufferSize];
char OpenBuffer[OpenBufferSize];
// A read lands here first, so that a failing read leaves ReceiveBuffer as it was.
uint8_t ReadBuffer[ReceiveBufferSize];

constexpr const char* StatusTexts[] = {
    "Invalid handle...",
    "Device not found...",
    "Device not opened...",
    "General IO error...",
    "Insufficient resources...",
    "Invalid parameter...",
    "Invalid baud rate...",
    "Device not opened for erase...",
    "Device not opened for write...",
    "Failed to write...",
    "EEPROM read failed...",
    "EEPROM write failed...",
    "EEPROM erase failed...",
    "EEPROM not present...",
    "EEPROM not programmed...",
    "Invalid arguments...",
    "Other error ...",
};

bool HasText(FT_STATUS code) {
    return code >= FT_INVALID_HANDLE && code <= FT_OTHER_ERROR;
}

const char* TextOf(FT_STATUS code) {
    return StatusTexts[code - 1];
}

// The reporter joins name and text with " - ", except for the two "not opened for" codes.
const char* ReporterSeparator(FT_STATUS code) {
    const bool plain =
        code == FT_DEVICE_NOT_OPENED_FOR_ERASE || code == FT_DEVICE_NOT_OPENED_FOR_WRITE;
    return plain ? " " : " - ";
}

FT_STATUS Reported(std::string_view reportName, FT_STATUS status) {
    if (status != FT_OK) {
        ReportFTError(reportName, status);
    }
    return status;
}

FT_STATUS ListInto(uint32_t index, char* buffer, uint32_t size, uint32_t what,
                   std::string_view reportName) {
    std::memset(buffer, 0, size);
    const FT_STATUS status = FT_ListDevices(reinterpret_cast<void*>(static_cast<uintptr_t>(index)),
                                            buffer, FT_LIST_BY_INDEX | what);
    if (status == FT_OK) {
        DeviceInfo.assign(buffer, strnlen(buffer, size));
    }
    return Reported(reportName, status);
}

} // namespace

void D2XXUnitStartup(TFTErrorDialog errorDialog) {
    FTErrorDialog = errorDialog;
}

void D2XXUnitShutdown() {
    FTErrorDialog = nullptr;
}

FT_STATUS GetFTDeviceCount() {
    return Reported("GetFTDeviceCount", FT_ListDevices(&DeviceCount, nullptr, FT_LIST_NUMBER_ONLY));
}

FT_STATUS GetFTDeviceSerialNo(uint32_t index) {
    return ListInto(index, SerialNumberBuffer, SerialNumberBufferSize, FT_OPEN_BY_SERIAL_NUMBER,
                    "GetFTDeviceSerialNo");
}

FT_STATUS GetFTDeviceDescription(uint32_t index) {
    return ListInto(index, DescriptionBuffer, DescriptionBufferSize, FT_OPEN_BY_DESCRIPTION,
                    "GetFTDeviceDescription");
}

FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& serialNumber) {
    OpenBuffer[0] = '\0';
    const size_t n = std::min<size_t>(serialNumber.size(), OpenBufferSize - 1);
    if (n > 0) {
        std::memcpy(OpenBuffer, serialNumber.data(), n);
        OpenBuffer[n] = '\0';
    }
    return Reported("Open_USB_Device_By_Serial_Number",
                    FT_OpenEx(OpenBuffer, FT_OPEN_BY_SERIAL_NUMBER, &DeviceHandle));
}

FT_STATUS CloseFTDevice() {
    return Reported("FT_Close", FT_Close(DeviceHandle));
}

uint32_t ReadFTDevice(uint32_t count) {
    return ReadFTDeviceAt(0, count);
}

uint32_t ReadFTDeviceAt(uint32_t offset, uint32_t count) {
    if (offset >= ReceiveBufferSize) {
        return 0;
    }
    count = std::min(count, ReceiveBufferSize - offset);
    uint32_t got = 0;
    LastReadStatus = FT_Read(DeviceHandle, ReadBuffer, count, &got);
    if (LastReadStatus != FT_OK) {
        ReportFTError("FT_Read", LastReadStatus);
        return 0;
    }
    got = std::min(got, count);
    std::memcpy(ReceiveBuffer.data() + offset, ReadBuffer, got);
    return got;
}

FT_STATUS GetFTDeviceQueueStatus() {
    return Reported("FT_GetQueueStatus", FT_GetQueueStatus(DeviceHandle, &QueuedBytes));
}

FT_STATUS SetFTDeviceBaudRate() {
    return Reported("FT_SetBaudRate", FT_SetBaudRate(DeviceHandle, BaudRate));
}

FT_STATUS SetFTDeviceDataCharacteristics() {
    return Reported("FT_SetDataCharacteristics",
                    FT_SetDataCharacteristics(DeviceHandle, WordLength, StopBits, Parity));
}

FT_STATUS SetFTDeviceTimeouts(uint32_t readTimeout, uint32_t writeTimeout) {
    return Reported("FT_SetTimeouts", FT_SetTimeouts(DeviceHandle, readTimeout, writeTimeout));
}

void ReportFTError(std::string_view reportName, FT_STATUS status) {
    if (!ErrorReportsEnabled || !HasText(status) || !FTErrorDialog) {
        return;
    }
    std::string message(reportName);
    message += ReporterSeparator(status);
    message += TextOf(status);
    FTErrorDialog(message, MB_ICONHAND, nullptr);
}

void FTStatusText(FT_STATUS code, std::string& target) {
    if (HasText(code)) {
        target = TextOf(code);
    }
}

void FTReadErrorText(std::string& target) {
    if (HasText(LastReadStatus)) {
        target = std::string("Fehler: ") + TextOf(LastReadStatus);
    }
}
