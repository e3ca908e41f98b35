#include "platform/ftd2xx/VirtualMonitorLinkWin.h"

#include "platform/files/Files.h"
#include "platform/text/Text.h"
#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <sddl.h>

#undef DeleteFile

namespace ftd2xx::virtualmonitor {
namespace {

constexpr DWORD PipeBufferBytes = 4096;

// The folder in a form fit for a system object's name: FNV-1a of its upper-case text.
std::string FolderTag(const std::string& folder) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : UpperAscii(folder)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    std::string tag;
    for (int shift = 56; shift >= 0; shift -= 8) {
        tag += HexByte(static_cast<unsigned char>(hash >> shift), HexCase::Lower);
    }
    return tag;
}

std::optional<std::string> Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    if (length == 0 || length >= 1024) {
        return std::nullopt;
    }
    return Narrow(std::wstring_view(buffer, length));
}

// "D:P(A;;GA;;;<the user's SID>)": full access for this user, none for anybody else.
std::wstring OwnerOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    OwnedHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        return {};
    }
    std::wstring descriptor = L"D:P(A;;GA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    return descriptor;
}

bool Transfer(bool write, void* pipe, void* data, DWORD size, DWORD& done) {
    OVERLAPPED overlapped{};
    OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    overlapped.hEvent = event.get();
    done = 0;
    const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &overlapped)
                               : ReadFile(pipe, data, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &done, TRUE) != 0;
}

} // namespace

FolderLock::FolderLock(const std::string& folder, bool wait)
    : mutex_(
          CreateMutexW(nullptr, FALSE, Widen("Local\\lirn-quarn-" + FolderTag(folder)).c_str())) {
    if (!mutex_) {
        return;
    }
    const DWORD result = WaitForSingleObject(mutex_.get(), wait ? INFINITE : 0);
    locked_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

FolderLock::~FolderLock() {
    if (locked_) {
        ReleaseMutex(mutex_.get());
    }
}

std::optional<std::string> MonitorFolder(std::string& error) {
    const auto local = Environment(L"LOCALAPPDATA");
    if (!local || local->empty()) {
        error = "LOCALAPPDATA is not set, so there is no folder of this user for virtual monitors";
        return std::nullopt;
    }
    return *local + "\\lirn-quarn\\monitors";
}

bool PrepareFolder(const std::string& folder, std::string& error) {
    const size_t parentEnd = folder.find_last_of('\\');
    for (const std::string& level : {folder.substr(0, parentEnd), folder}) {
        if (!CreateDirectoryW(Widen(level).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            error = "cannot create " + level + ": " + SystemErrorText(GetLastError());
            return false;
        }
    }
    if (!DirectoryExists(folder)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

bool FolderIsTrusted(const std::string&) {
    return true;
}

const std::string_view MonitorEntryEnding = ".monitor";

std::string MonitorAddress(const std::string& folder, std::string_view serialNumber) {
    return "\\\\.\\pipe\\lirn-quarn-" + FolderTag(folder) + "-" + std::string(serialNumber);
}

std::string AnnouncementPath(const std::string& folder, std::string_view serialNumber) {
    return folder + "\\" + std::string(serialNumber) + std::string(MonitorEntryEnding);
}

OwnedHandle CreateMonitorPipe(const std::string& address, bool first, std::string& error) {
    const std::wstring descriptor = OwnerOnlyDescriptor();
    PSECURITY_DESCRIPTOR security = nullptr;
    if (descriptor.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                  descriptor.c_str(), SDDL_REVISION_1, &security, nullptr)) {
        error = "cannot describe who may open the pipe: " + SystemErrorText(GetLastError());
        return OwnedHandle();
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
    const DWORD openMode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    OwnedHandle pipe(CreateNamedPipeW(
        Widen(address).c_str(), openMode,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, PipeBufferBytes, PipeBufferBytes, 0, &attributes));
    const DWORD failure = GetLastError();
    LocalFree(security);
    if (!pipe) {
        error = "cannot create the pipe " + address + ": " + SystemErrorText(failure);
        SetLastError(failure);
    }
    return pipe;
}

ConnectResult Connect(const std::string& address, OwnedHandle& out, int timeoutMs) {
    const std::wstring name = Widen(address);
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    for (;;) {
        OwnedHandle pipe(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        if (pipe) {
            out = std::move(pipe);
            return ConnectResult::Connected;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return ConnectResult::NobodyListening;
        }
        const uint64_t now = SteadyNowMs();
        if (error != ERROR_PIPE_BUSY || now >= deadline) {
            return ConnectResult::Failed;
        }
        WaitNamedPipeW(name.c_str(), static_cast<DWORD>(std::min<uint64_t>(deadline - now, 50)));
    }
}

bool SendAll(void* pipe, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!Transfer(true, pipe, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                      written) ||
            written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::optional<uint32_t> BytesWaiting(void* pipe) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
        return std::nullopt;
    }
    return waiting;
}

std::optional<std::string> ReadWaiting(void* pipe, uint32_t most) {
    const auto waiting = BytesWaiting(pipe);
    if (!waiting) {
        return std::nullopt;
    }
    std::string bytes(std::min(*waiting, most), '\0');
    if (bytes.empty()) {
        return bytes;
    }
    DWORD got = 0;
    if (!Transfer(false, pipe, bytes.data(), static_cast<DWORD>(bytes.size()), got)) {
        return std::nullopt;
    }
    bytes.resize(got);
    return bytes;
}

bool ReadLine(void* pipe, std::string& line, int timeoutMs) {
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    line.clear();
    for (;;) {
        const auto byte = ReadWaiting(pipe, 1);
        if (!byte) {
            return false;
        }
        if (byte->empty()) {
            if (SteadyNowMs() >= deadline) {
                return false;
            }
            Sleep(1);
            continue;
        }
        if ((*byte)[0] == '\n') {
            return true;
        }
        line += *byte;
    }
}

// A pipe cannot be waited on for bytes, nor for a free instance: each is looked at every
// millisecond until it answered or the time is up.
std::vector<AskedMonitor> AskAll(const std::vector<std::string>& addresses,
                                 const std::string& request, int timeoutMs) {
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    std::vector<AskedMonitor> asked(addresses.size());
    std::vector<OwnedHandle> links(addresses.size());
    std::vector<std::string> lines(addresses.size());
    std::vector<bool> sent(addresses.size(), false);
    std::vector<size_t> open(addresses.size());
    for (size_t i = 0; i < open.size(); ++i) {
        open[i] = i;
    }
    // True once the monitor at i is done with: answered, gone, or nobody there.
    const auto settle = [&](size_t i) {
        if (!sent[i]) {
            asked[i].connected = Connect(addresses[i], links[i], 0);
            if (asked[i].connected != ConnectResult::Connected) {
                return asked[i].connected == ConnectResult::NobodyListening;
            }
            sent[i] = true;
            if (!SendAll(links[i].get(), request + "\n")) {
                return true;
            }
        }
        for (;;) {
            const auto byte = ReadWaiting(links[i].get(), 1);
            if (!byte || lines[i].size() == MaxAnswerBytes) {
                return true;
            }
            if (byte->empty()) {
                return false;
            }
            if ((*byte)[0] == '\n') {
                asked[i].answer = lines[i];
                return true;
            }
            lines[i] += *byte;
        }
    };
    for (;;) {
        std::erase_if(open, settle);
        if (open.empty() || SteadyNowMs() >= deadline) {
            return asked;
        }
        Sleep(1);
    }
}

bool Ask(const std::string& address, const std::string& request, std::string& answer,
         int timeoutMs) {
    OwnedHandle pipe;
    if (Connect(address, pipe, timeoutMs) != ConnectResult::Connected) {
        return false;
    }
    return SendAll(pipe.get(), request + "\n") && ReadLine(pipe.get(), answer, timeoutMs);
}

void RemoveStaleMonitor(const std::string& folder, const std::string& serialNumber) {
    FolderLock lock(folder, false);
    OwnedHandle probe;
    if (lock.locked() &&
        Connect(MonitorAddress(folder, serialNumber), probe, 0) == ConnectResult::NobodyListening) {
        DeleteFile(AnnouncementPath(folder, serialNumber));
    }
}

} // namespace ftd2xx::virtualmonitor
