#include "support/VexMsgFlags.h"

namespace {

constexpr int32_t ButtonMask = 0xF;
constexpr int32_t IconMask = 0xF0;
constexpr int32_t DefaultButtonMask = 0xF00;
constexpr int32_t ModalityMask = 0xF000;
constexpr int32_t ForegroundMask = 0xF0000;

struct ButtonSet {
    std::vector<MsgBoxButton> buttons;
    int cancelButton;
};

ButtonSet ButtonsOf(int32_t flags) {
    using enum MsgBoxButton;
    switch (flags & ButtonMask) {
    case MB_OKCANCEL:
        return {{OK, Cancel}, 2};
    case MB_ABORTRETRYIGNORE:
        return {{Abort, Retry, Ignore}, 0};
    case MB_YESNOCANCEL:
        return {{Yes, No, Cancel}, 3};
    case MB_YESNO:
        return {{Yes, No}, 2};
    case MB_RETRYCANCEL:
        return {{Retry, Cancel}, 2};
    default:
        return {{OK}, 1};
    }
}

MsgBoxIcon IconOf(int32_t flags) {
    switch (flags & IconMask) {
    case MB_ICONHAND:
        return MsgBoxIcon::Stop;
    case MB_ICONQUESTION:
        return MsgBoxIcon::Question;
    case MB_ICONEXCLAMATION:
        return MsgBoxIcon::Warning;
    case MB_ICONASTERISK:
        return MsgBoxIcon::Information;
    default:
        return MsgBoxIcon::None;
    }
}

int DefaultButtonOf(int32_t flags) {
    switch (flags & DefaultButtonMask) {
    case MB_DEFBUTTON2:
        return 1;
    case MB_DEFBUTTON3:
        return 2;
    default:
        return 0;
    }
}

} // namespace

MsgBoxStyle DecodeMsgBoxStyle(int32_t flags) {
    ButtonSet set = ButtonsOf(flags);
    const int32_t modality = flags & ModalityMask;
    MsgBoxStyle style;
    style.buttons = std::move(set.buttons);
    style.cancelButton = set.cancelButton;
    style.defaultButton = DefaultButtonOf(flags);
    style.icon = IconOf(flags);
    style.staysOnTop =
        modality == MB_SYSTEMMODAL || modality == MB_TASKMODAL || (flags & MB_TOPMOST) != 0;
    style.setForeground = (flags & ForegroundMask) == MB_SETFOREGROUND;
    return style;
}

int32_t MsgBoxButtonId(MsgBoxButton button) {
    switch (button) {
    case MsgBoxButton::OK:
        return IDOK;
    case MsgBoxButton::Cancel:
        return IDCANCEL;
    case MsgBoxButton::Abort:
        return IDABORT;
    case MsgBoxButton::Retry:
        return IDRETRY;
    case MsgBoxButton::Ignore:
        return IDIGNORE;
    case MsgBoxButton::Yes:
        return IDYES;
    case MsgBoxButton::No:
        return IDNO;
    }
    return IDCANCEL;
}
