// usb-frame-reader: the program's connection and poll over the device unit, without its window,
// so that a test can watch them on a USB chip line by line.
//   usb-frame-reader poll SERIAL     polls as the window does, reconnects after a lost device
//   usb-frame-reader exact SERIAL N  one read of exactly N bytes, for comparison
// Runs until it is stopped.

#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/text/Text.h"

#include <charconv>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

namespace {

// As the window: its poll and reconnect timers, the monitor's line and read time-out.
constexpr auto PollInterval = std::chrono::milliseconds(150);
constexpr auto ReconnectInterval = std::chrono::milliseconds(1000);
constexpr uint32_t MonitorBaudRate = 9600;
constexpr uint8_t MonitorWordLength = 8;
constexpr uint8_t MonitorStopBits = 2;
constexpr uint8_t MonitorParity = 0;
constexpr uint32_t MonitorReadTimeout = 50;

using Clock = std::chrono::steady_clock;

void Say(const std::string& line) {
    std::cout << line << std::endl;
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool Listed(const std::string& serialNumber) {
    if (GetFTDeviceCount() != FT_OK) {
        return false;
    }
    for (uint32_t i = 0; i < DeviceCount; ++i) {
        if (GetFTDeviceSerialNo(i) == FT_OK && DeviceInfo == serialNumber) {
            return true;
        }
    }
    return false;
}

bool Open(const std::string& serialNumber) {
    const FT_STATUS status = Open_USB_Device_By_Serial_Number(serialNumber);
    if (status != FT_OK) {
        std::string text;
        FTStatusText(status, text);
        Say("open failed: status " + std::to_string(status) + ": " + text);
        return false;
    }
    BaudRate = MonitorBaudRate;
    WordLength = MonitorWordLength;
    StopBits = MonitorStopBits;
    Parity = MonitorParity;
    const bool set = SetFTDeviceBaudRate() == FT_OK && SetFTDeviceDataCharacteristics() == FT_OK &&
                     SetFTDeviceTimeouts(MonitorReadTimeout, 0) == FT_OK;
    Say(set ? "opened " + serialNumber : "line settings failed");
    return set;
}

// Waits, as the window's reconnect timer does, until the device is listed and opens.
void Connect(const std::string& serialNumber) {
    const Clock::time_point start = Clock::now();
    while (!Listed(serialNumber) || !Open(serialNumber)) {
        std::this_thread::sleep_for(ReconnectInterval);
    }
    Say("connected after " + std::to_string(MsSince(start)) + " ms");
}

std::string Printable(const uint8_t* bytes, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(bytes[i]);
        text += c >= ' ' && c <= '~' ? std::string(1, c) : "\\x" + HexByte(bytes[i]);
    }
    return text;
}

void SayDecoded(DecodeOutcome outcome, const Measurement& measurement) {
    switch (outcome) {
    case ValidMeasurement:
        Say("measurement " + measurement.Systole + " " + measurement.Diastole + " " +
            measurement.Puls + " " + measurement.MAD + " " + measurement.Arrhythmie);
        return;
    case ChecksumError:
        Say("checksum error");
        return;
    case StatusFrame:
        Say("status frame");
        return;
    case NoFrame:
        return;
    }
}

// One tick of the window's poll timer; false when the device was lost.
bool PollOnce(Measurement& measurement) {
    const uint32_t before = ReceivedCount;
    ReceiveFrameBytes();
    if (ReceivedCount > before) {
        Say("received " + std::to_string(ReceivedCount - before) +
            " bytes: " + Printable(ReceiveBuffer.data() + before, ReceivedCount - before));
    }
    const bool lost = LastReadStatus != FT_OK;
    if (lost) {
        std::string text;
        FTReadErrorText(text);
        Say("read failed: status " + std::to_string(LastReadStatus) + ": " + text);
    }
    for (DecodeOutcome outcome = DecodeFrame(measurement); outcome != NoFrame;
         outcome = DecodeFrame(measurement)) {
        SayDecoded(outcome, measurement);
    }
    return !lost;
}

int Poll(const std::string& serialNumber) {
    Measurement measurement;
    for (;;) {
        Connect(serialNumber);
        ClearReceivedBytes();
        while (PollOnce(measurement)) {
            std::this_thread::sleep_for(PollInterval);
        }
        CloseFTDevice();
    }
}

int Exact(const std::string& serialNumber, uint32_t count) {
    Connect(serialNumber);
    uint32_t got = 0;
    while (got < count) {
        got += ReadFTDeviceAt(got, count - got);
        if (LastReadStatus != FT_OK) {
            Say("read failed: status " + std::to_string(LastReadStatus));
            return 1;
        }
    }
    Say("read " + std::to_string(got) + " bytes: " + Printable(ReceiveBuffer.data(), got));
    return 0;
}

int Usage() {
    std::cerr << "usage: usb-frame-reader poll SERIAL | exact SERIAL COUNT\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    D2XXUnitStartup(nullptr);
    ErrorReportsEnabled = false;
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "poll" && argc == 3) {
        return Poll(argv[2]);
    }
    if (command == "exact" && argc == 4) {
        const std::string_view text = argv[3];
        uint32_t count = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size() || count == 0 ||
            count > ReceiveBufferSize) {
            return Usage();
        }
        return Exact(argv[2], count);
    }
    return Usage();
}
