#pragma once
// Windows message-box style flags and button ids, the terms every caller of a box speaks, and
// what a box shows for the flags.

#include <cstdint>
#include <vector>

constexpr int32_t MB_OK = 0x0;
constexpr int32_t MB_OKCANCEL = 0x1;
constexpr int32_t MB_ABORTRETRYIGNORE = 0x2;
constexpr int32_t MB_YESNOCANCEL = 0x3;
constexpr int32_t MB_YESNO = 0x4;
constexpr int32_t MB_RETRYCANCEL = 0x5;
constexpr int32_t MB_ICONHAND = 0x10;
constexpr int32_t MB_ICONQUESTION = 0x20;
constexpr int32_t MB_ICONEXCLAMATION = 0x30;
constexpr int32_t MB_ICONASTERISK = 0x40;
constexpr int32_t MB_DEFBUTTON2 = 0x100;
constexpr int32_t MB_DEFBUTTON3 = 0x200;
constexpr int32_t MB_SYSTEMMODAL = 0x1000;
constexpr int32_t MB_TASKMODAL = 0x2000;
constexpr int32_t MB_SETFOREGROUND = 0x10000;
constexpr int32_t MB_TOPMOST = 0x40000;

constexpr int32_t IDOK = 1;
constexpr int32_t IDCANCEL = 2;
constexpr int32_t IDABORT = 3;
constexpr int32_t IDRETRY = 4;
constexpr int32_t IDIGNORE = 5;
constexpr int32_t IDYES = 6;
constexpr int32_t IDNO = 7;

enum class MsgBoxButton { OK, Cancel, Abort, Retry, Ignore, Yes, No };
enum class MsgBoxIcon { None, Stop, Question, Warning, Information };

// What the style flags ask of a box.
struct MsgBoxStyle {
    // Left to right; an unknown button set shows OK alone.
    std::vector<MsgBoxButton> buttons;
    // The button (counted from 1) that Escape and closing the box press; 0 when the box cannot
    // be left without choosing one.
    int cancelButton = 1;
    // The button (counted from 0) that has the focus; it may lie beyond the buttons shown.
    int defaultButton = 0;
    MsgBoxIcon icon = MsgBoxIcon::None;
    bool staysOnTop = false;
    bool setForeground = false;
};

MsgBoxStyle DecodeMsgBoxStyle(int32_t flags);

// IDOK for OK, and so on.
int32_t MsgBoxButtonId(MsgBoxButton button);
