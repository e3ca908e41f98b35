#pragma once
// Answers the application's modal boxes from inside their modal loops, so that tests drive the
// real boxes.
//
// Queue the steps first, then open the box (or call the code that opens it):
//
//     ModalBoxAnswerer answer;
//     answer.Inspect([](QWidget& box) { EXPECT_EQ(box.windowTitle(), "Titel"); })
//         .Key(Qt::Key_Escape)
//         .Press("&OK");
//     EXPECT_EQ(ShowMsg("Text", MB_OK), IDOK);
//     EXPECT_TRUE(answer.Finished());
//
// Needs the QApplication (TestApplication()). A timer polls QApplication::activeModalWidget(). Each
// step acts on the modal widget that is active and visible at that moment, one step per poll, so a
// step that closes a box lets the next step act on the box opened after it. A step that fails (no
// such button, a condition that never comes true, an exception thrown by a step, no box within the
// time-out) records a test failure and closes the box, so a test never hangs. A box still open
// after the last step is closed the same way after the time-out.

#include <QString>
#include <Qt>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

class ModalBoxAnswerer {
public:
    // The result a box gets when the answerer has to close it after a failure.
    static constexpr int kForcedResult = -1000;

    explicit ModalBoxAnswerer(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    ~ModalBoxAnswerer();
    ModalBoxAnswerer(const ModalBoxAnswerer&) = delete;
    ModalBoxAnswerer& operator=(const ModalBoxAnswerer&) = delete;

    // Runs the callback on the box (use EXPECT_* in it).
    ModalBoxAnswerer& Inspect(std::function<void(QWidget& box)> inspect);
    // Waits until the condition holds for the box, polling.
    ModalBoxAnswerer& WaitFor(std::function<bool(QWidget& box)> condition);
    // Clicks the visible button whose text is exactly the caption, "&" included ("&OK").
    ModalBoxAnswerer& Press(const QString& caption);
    // Sends a key click to the box's focus widget (the box itself without one), as the keyboard
    // would: Qt::Key_Escape, Qt::Key_Return, or Qt::Key_C with Qt::ControlModifier.
    ModalBoxAnswerer& Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Asks the box to close, as its close box does.
    ModalBoxAnswerer& Close();

    // True once every queued step has run successfully.
    bool Finished() const { return steps_.empty() && !failed_; }

private:
    // A step returns true when done, false to be polled again; it reports failures itself.
    using Step = std::function<bool(QWidget& box, bool& failed)>;

    ModalBoxAnswerer& Add(Step step);
    void Poll();
    void RunStep(QWidget& box);
    void Fail(QWidget* box, const QString& why);

    std::chrono::milliseconds timeout_;
    std::unique_ptr<QTimer> timer_;
    std::deque<Step> steps_;
    std::chrono::steady_clock::time_point lastProgress_;
    bool failed_ = false;
};
