#include "common/Process.h"
#include "platform/files/HandleWin.h"
#include "platform/text/WideTextWin.h"

#include <windows.h>

namespace {

// One argument as the C runtime splits a command line again: quoted, with the backslashes
// before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

OwnedHandle Inheritable(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    const std::wstring name = path.empty() ? L"NUL" : path.wstring();
    return OwnedHandle(CreateFileW(
        name.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &attributes, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

struct ChildProcess::Impl {
    OwnedHandle process;
};

std::string BuiltProgram(const std::string& name) {
    return std::string(QUARN_BIN_DIR) + "\\" + name + ".exe";
}

ChildProcess::ChildProcess(const std::string& name, const std::vector<std::string>& args,
                           const std::filesystem::path& output, const std::filesystem::path& errors,
                           const std::filesystem::path& input)
    : impl_(std::make_unique<Impl>()) {
    const std::wstring program = Widen(BuiltProgram(name));
    std::wstring commandLine = Quoted(program);
    for (const std::string& arg : args) {
        commandLine += L" " + Quoted(Widen(arg));
    }
    OwnedHandle in = Inheritable(input, false);
    OwnedHandle out = Inheritable(output, true);
    OwnedHandle err = Inheritable(errors, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION created{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &created)) {
        CloseHandle(created.hThread);
        impl_->process.reset(created.hProcess);
    }
}

ChildProcess::~ChildProcess() {
    if (started() && !poll()) {
        stop();
    }
}

bool ChildProcess::started() const {
    return static_cast<bool>(impl_->process);
}

std::optional<int> ChildProcess::poll() {
    DWORD code = 0;
    if (!started() || !GetExitCodeProcess(impl_->process.get(), &code) || code == STILL_ACTIVE) {
        return std::nullopt;
    }
    return static_cast<int>(code);
}

int ChildProcess::wait() {
    if (!started()) {
        return -1;
    }
    WaitForSingleObject(impl_->process.get(), INFINITE);
    return poll().value_or(-1);
}

int ChildProcess::stop() {
    if (started() && !poll()) {
        TerminateProcess(impl_->process.get(), 1);
    }
    return wait();
}
