#include "support/widgets/ErrorGuard.h"

#include "support/VexMsgFlags.h"
#include "support/widgets/VexMisc.h"

namespace {

// Shown for a thrown value that carries no message of its own.
constexpr const char* kUnknownError = "Unbekannter Fehler";

void ShowText(const char* message) noexcept {
    try {
        PlainMessageBox(UncaughtErrorText(message), MB_ICONHAND | MB_OK, nullptr);
    } catch (...) {
        // The box itself failed; there is no other way left to show the error.
    }
}

} // namespace

std::string UncaughtErrorText(const std::string& message) {
    if (message.empty() || static_cast<unsigned char>(message.back()) <= '.') {
        return message;
    }
    return message + ".";
}

void ShowUncaughtError(const std::exception& error) noexcept {
    ShowText(error.what());
}

void GuardHandler(const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowUncaughtError(error);
    } catch (...) {
        ShowText(kUnknownError);
    }
}
