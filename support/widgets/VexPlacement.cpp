#include "support/widgets/VexPlacement.h"

#include "support/VexAbstract.h"
#include "support/VexStrings.h"
#include "support/widgets/VexMisc.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <cstdint>

namespace {

constexpr int kStateNormal = 0;
constexpr int kStateMinimized = 1;
constexpr int kStateMaximized = 2;
// The size a window gets when it is larger than the screen.
constexpr int kFallbackExtent = 400;

TSettings* chooseStore(TSettings* store) {
    return store ? store : AppSettings.get();
}

std::string keyPath(const TSettings& store, const QWidget& form) {
    return store.FormsSection + "\r" + form.objectName().toStdString();
}

int stateOf(const QWidget& form) {
    if (form.isMinimized()) {
        return kStateMinimized;
    }
    return form.isMaximized() ? kStateMaximized : kStateNormal;
}

void applyState(QWidget& form, int32_t state) {
    const Qt::WindowStates others =
        form.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == kStateMinimized) {
        form.setWindowState(others | Qt::WindowMinimized);
    } else if (state == kStateMaximized) {
        form.setWindowState(others | Qt::WindowMaximized);
    } else {
        form.setWindowState(others);
    }
}

// One axis of the fit: a window reaching past the screen edge is moved back onto it, one larger
// than the screen gets the fallback extent at the far edge. Sums in 64 bits so stored extremes
// cannot overflow.
void fitAxis(int32_t& start, int32_t& extent, int screenExtent) {
    const bool tooLarge = extent > screenExtent;
    if (int64_t{start} + extent <= screenExtent && !tooLarge) {
        return;
    }
    if (tooLarge) {
        start = screenExtent - kFallbackExtent;
        extent = kFallbackExtent;
    } else {
        start = screenExtent - extent;
    }
}

bool isSizeable(const QWidget& form) {
    return form.minimumSize() != form.maximumSize();
}

std::optional<QSize> primaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return std::nullopt;
    }
    return screen->geometry().size();
}

// Resizes so that the outer frame gets the stored size; an empty size keeps the form's own.
void applyOuterSize(QWidget& form, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const QSize frame = form.frameGeometry().size() - form.geometry().size();
    form.resize(std::max(width - frame.width(), 1), std::max(height - frame.height(), 1));
}

} // namespace

void SaveFormPlacement(QWidget& form, TSettings* store) {
    TSettings* target = chooseStore(store);
    if (!target) {
        return;
    }
    const QRect outer = form.frameGeometry();
    const std::string text = std::to_string(outer.x()) + "," + std::to_string(outer.y()) + "," +
                             std::to_string(outer.width()) + "," + std::to_string(outer.height()) +
                             "," + std::to_string(stateOf(form));
    target->WriteString(keyPath(*target, form), text);
}

bool RestoreFormPlacement(QWidget& form, TSettings* store, std::optional<QSize> screen) {
    TSettings* source = chooseStore(store);
    if (!source) {
        return false;
    }
    const std::string text = source->ReadString(keyPath(*source, form));
    if (text.empty()) {
        return false;
    }
    applyState(form, GetTokenInt(text, ",", 5));
    if (stateOf(form) != kStateNormal) {
        return true;
    }
    int32_t left = GetTokenInt(text, ",", 1);
    int32_t top = GetTokenInt(text, ",", 2);
    int32_t width = GetTokenInt(text, ",", 3);
    int32_t height = GetTokenInt(text, ",", 4);
    if (!screen) {
        screen = primaryScreenSize();
    }
    if (screen) {
        fitAxis(left, width, screen->width());
        fitAxis(top, height, screen->height());
    }
    form.move(left, top);
    if (isSizeable(form)) {
        applyOuterSize(form, width, height);
    }
    return true;
}
