#include "common/ModalBoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

constexpr int kPollInterval = 5;

QStringList VisibleButtonTexts(QWidget& box) {
    QStringList texts;
    for (QAbstractButton* button : box.findChildren<QAbstractButton*>()) {
        if (button->isVisible()) {
            texts << button->text();
        }
    }
    return texts;
}

QWidget* ActiveBox() {
    QWidget* box = QApplication::activeModalWidget();
    return box && box->isVisible() ? box : nullptr;
}

void ForceClose(QWidget& box) {
    if (auto* dialog = qobject_cast<QDialog*>(&box)) {
        dialog->done(ModalBoxAnswerer::kForcedResult);
        return;
    }
    box.hide();
}

} // namespace

ModalBoxAnswerer::ModalBoxAnswerer(std::chrono::milliseconds timeout)
    : timeout_(timeout), timer_(std::make_unique<QTimer>()),
      lastProgress_(std::chrono::steady_clock::now()) {
    timer_->setInterval(kPollInterval);
    // Queued, so a step runs after the timer's own event: Qt delivers no tick of a timer whose
    // event is still being handled, and a step that opens a nested box would wait for ever.
    QObject::connect(
        timer_.get(), &QTimer::timeout, timer_.get(), [this] { Poll(); }, Qt::QueuedConnection);
    timer_->start();
}

ModalBoxAnswerer::~ModalBoxAnswerer() = default;

ModalBoxAnswerer& ModalBoxAnswerer::Add(Step step) {
    if (steps_.empty()) {
        lastProgress_ = std::chrono::steady_clock::now();
    }
    steps_.push_back(std::move(step));
    return *this;
}

ModalBoxAnswerer& ModalBoxAnswerer::Inspect(std::function<void(QWidget&)> inspect) {
    return Add([inspect = std::move(inspect)](QWidget& box, bool&) {
        inspect(box);
        return true;
    });
}

ModalBoxAnswerer& ModalBoxAnswerer::WaitFor(std::function<bool(QWidget&)> condition) {
    return Add([condition = std::move(condition)](QWidget& box, bool&) { return condition(box); });
}

ModalBoxAnswerer& ModalBoxAnswerer::Press(const QString& caption) {
    return Add([caption](QWidget& box, bool& failed) {
        for (QAbstractButton* button : box.findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->text() == caption) {
                button->click();
                return true;
            }
        }
        ADD_FAILURE() << "no visible button \"" << caption.toStdString()
                      << "\"; visible: " << VisibleButtonTexts(box).join(", ").toStdString();
        failed = true;
        return true;
    });
}

ModalBoxAnswerer& ModalBoxAnswerer::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    return Add([key, modifiers](QWidget& box, bool&) {
        QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
        QTest::keyClick(target, key, modifiers);
        return true;
    });
}

ModalBoxAnswerer& ModalBoxAnswerer::Close() {
    return Add([](QWidget& box, bool&) {
        box.close();
        return true;
    });
}

void ModalBoxAnswerer::Poll() {
    const bool overdue = std::chrono::steady_clock::now() - lastProgress_ > timeout_;
    QWidget* box = ActiveBox();
    if (steps_.empty() || failed_) {
        if (!box) {
            lastProgress_ = std::chrono::steady_clock::now();
        } else if (overdue) {
            Fail(box, "a modal box is still open after the last step");
        }
        return;
    }
    if (box) {
        RunStep(*box);
    } else if (overdue) {
        Fail(nullptr, "no modal box appeared for the next step");
    }
}

void ModalBoxAnswerer::RunStep(QWidget& box) {
    // Taken off the queue while it runs, so the polls inside a nested box it opens go on with
    // the next steps.
    Step step = std::move(steps_.front());
    steps_.pop_front();
    bool failed = false;
    bool done = false;
    try {
        done = step(box, failed);
    } catch (const std::exception& error) {
        ADD_FAILURE() << "a step threw: " << error.what();
        failed = true;
    }
    if (failed) {
        Fail(&box, "a step failed");
        return;
    }
    if (done) {
        lastProgress_ = std::chrono::steady_clock::now();
        return;
    }
    if (failed_) {
        return;
    }
    steps_.push_front(std::move(step));
    if (std::chrono::steady_clock::now() - lastProgress_ > timeout_) {
        Fail(&box, "a condition did not come true");
    }
}

void ModalBoxAnswerer::Fail(QWidget* box, const QString& why) {
    ADD_FAILURE() << "ModalBoxAnswerer: " << why.toStdString();
    failed_ = true;
    steps_.clear();
    lastProgress_ = std::chrono::steady_clock::now();
    if (box) {
        ForceClose(*box);
    }
}
