#pragma once
// The program's one link to the monitor's USB chip: plain operations over module-wide state,
// each making one D2XX call and returning its status.

#include "platform/ftd2xx/ftd2xx.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

constexpr uint32_t ReceiveBufferSize = 0x10000;
constexpr uint32_t SerialNumberBufferSize = FT_SERIAL_NUMBER_SIZE;
constexpr uint32_t DescriptionBufferSize = FT_DESCRIPTION_SIZE;
constexpr uint32_t OpenBufferSize = 50;

extern FT_HANDLE DeviceHandle;
extern bool ErrorReportsEnabled;
extern FT_STATUS LastReadStatus;
extern uint32_t DeviceCount;
extern uint32_t QueuedBytes;
extern std::string DeviceInfo;
extern std::array<uint8_t, ReceiveBufferSize> ReceiveBuffer;
extern uint32_t BaudRate;
extern uint8_t WordLength;
extern uint8_t StopBits;
extern uint8_t Parity;

// Shows ReportFTError's message; none shows nothing.
using TFTErrorDialog = int32_t (*)(const std::string& text, int32_t flags, QWidget* owner);
extern TFTErrorDialog FTErrorDialog;

// The unit's start-up: errors are reported through errorDialog (the program passes the platform
// message box). The shut-down reports through none.
void D2XXUnitStartup(TFTErrorDialog errorDialog);
void D2XXUnitShutdown();

FT_STATUS GetFTDeviceCount();
FT_STATUS GetFTDeviceSerialNo(uint32_t index);
FT_STATUS GetFTDeviceDescription(uint32_t index);
FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& serialNumber);
FT_STATUS CloseFTDevice();
// Reads into the start of ReceiveBuffer, at most its size; returns the number of bytes read
// (0 on a failure, which leaves the buffer as it was) and keeps the status in LastReadStatus.
uint32_t ReadFTDevice(uint32_t count);
// As ReadFTDevice, into ReceiveBuffer from offset on; the bytes before offset stay.
uint32_t ReadFTDeviceAt(uint32_t offset, uint32_t count);
// QueuedBytes := what the driver holds for reading now, which a read of that many takes
// without waiting.
FT_STATUS GetFTDeviceQueueStatus();
FT_STATUS SetFTDeviceBaudRate();
FT_STATUS SetFTDeviceDataCharacteristics();
FT_STATUS SetFTDeviceTimeouts(uint32_t readTimeout, uint32_t writeTimeout);

void ReportFTError(std::string_view reportName, FT_STATUS status);
// For 1 to 17 the target becomes the code's text; otherwise it stays as it was.
void FTStatusText(FT_STATUS code, std::string& target);
void FTReadErrorText(std::string& target);
