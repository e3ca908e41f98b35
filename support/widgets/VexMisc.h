#pragma once
// Process-wide support: message-box hooks, the application title, the global objects and the
// process set-up that runs before any window exists.

#include <cstdint>
#include <memory>
#include <string>

class QLocale;
class QWidget;
class TSettings;
class TStack;
struct TFormatSettings;

using TMessageBoxHook = int32_t (*)(const std::string& text, int32_t flags, QWidget* owner);
using TMessageBoxExHook = int32_t (*)(const std::string& text, const std::string& detail,
                                      const std::string& buttons, int32_t flags, QWidget* owner);

extern TMessageBoxHook MessageBoxHook;
extern TMessageBoxExHook MessageBoxExHook;

// Caption of every message box and the name the task bar shows; set by the main unit.
extern std::string ApplicationTitle;

extern std::unique_ptr<TSettings> AppSettings;
extern std::unique_ptr<TStack> GlobalStack;

// The platform message box: application title as caption, owner ignored.
int32_t PlainMessageBox(const std::string& text, int32_t flags, QWidget* owner);

// The short date (with a four-digit year) and the short time without seconds of a locale.
TFormatSettings FormatSettingsOf(const QLocale& locale);

// Hooks, GlobalStack, the C library's locale from the user's environment and FormatSettings
// from Qt's system locale, which carries its own locale data.
void VexMiscStartup();
// Frees GlobalStack and AppSettings and resets the hooks.
void VexMiscShutdown();
