#include "common/Printing.h"
#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/widgets/TestApplication.h"
#include "platform/Errors.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexMisc.h"

#include <QMessageBox>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

namespace {

const std::string kTitle = "Lirn Quarn Test";

struct TextCase {
    std::string message;
    std::string shown;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << OneLine(c.message);
}

class UncaughtErrorTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(UncaughtErrorTextTest, FullStopAfterCharactersAboveIt) {
    EXPECT_EQ(UncaughtErrorText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UncaughtErrorTextTest,
    ::testing::Values(TextCase{"Datei nicht gefunden", "Datei nicht gefunden."},
                      TextCase{"Fehler 17", "Fehler 17."}, TextCase{"Schon da.", "Schon da."},
                      TextCase{"Schreibfehler!", "Schreibfehler!"},
                      TextCase{"Wert (leer)", "Wert (leer)"}, TextCase{"Ende -", "Ende -"},
                      TextCase{"Ende mit Blank ", "Ende mit Blank "},
                      TextCase{"Pfad C:/", "Pfad C:/."}, TextCase{"Feld:", "Feld:."},
                      TextCase{"Größe ü", "Größe ü."}, TextCase{"Maß", "Maß."},
                      TextCase{"Zeile\r\n", "Zeile\r\n"}, TextCase{"", ""}));

class GuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        ApplicationTitle = kTitle;
    }

    ScopedTestHome home_;
};

// Queues the inspection of the platform box an error is shown in, and its answer.
void ExpectErrorBox(ModalBoxAnswerer& answer, const std::string& text) {
    answer
        .Inspect([text](QWidget& w) {
            auto* box = qobject_cast<QMessageBox*>(&w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle().toStdString(), kTitle);
            EXPECT_EQ(box->text().toStdString(), text);
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            EXPECT_EQ(box->buttons().size(), 1);
        })
        .Press("OK");
}

struct ThrowCase {
    const char* name;
    std::function<void()> raise;
    std::string shown;
};

void PrintTo(const ThrowCase& c, std::ostream* os) {
    *os << c.name;
}

class GuardThrowTest : public GuardTest, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(GuardThrowTest, ErrorIsShownAndTheProgramGoesOn) {
    ModalBoxAnswerer answer;
    ExpectErrorBox(answer, GetParam().shown);
    bool after = false;
    GuardHandler([&] {
        GetParam().raise();
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, GuardThrowTest,
    ::testing::Values(
        ThrowCase{"FileError",
                  [] { throw FileError("Die Datei export.gdt kann nicht geschrieben werden"); },
                  "Die Datei export.gdt kann nicht geschrieben werden."},
        ThrowCase{"RegistryError", [] { throw RegistryError("Schreibfehler!"); }, "Schreibfehler!"},
        ThrowCase{"ReportError", [] { throw ReportError("Bericht für Müller"); },
                  "Bericht für Müller."},
        ThrowCase{"StandardError", [] { throw std::out_of_range("Index 5"); }, "Index 5."},
        ThrowCase{"NoMessage", [] { throw 42; }, "Unbekannter Fehler."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuardTest, GuardedSignalHandlerNeverLetsTheErrorIntoTheEventLoop) {
    ModalBoxAnswerer answer;
    ExpectErrorBox(answer, "Bericht fehlgeschlagen.");
    bool nextTick = false;
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, Guarded([&] {
        if (++ticks == 1) {
            throw ReportError("Bericht fehlgeschlagen");
        }
        nextTick = true;
        timer.stop();
    }));
    timer.start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return nextTick; }, 20000));
    EXPECT_TRUE(answer.Finished());
}

TEST_F(GuardTest, GuardedHandlerGetsTheSignalsArguments) {
    QSpinBox spin;
    int seen = 0;
    QObject::connect(&spin, &QSpinBox::valueChanged, Guarded([&](int value) { seen = value; }));
    spin.setValue(7);
    EXPECT_EQ(seen, 7);

    ModalBoxAnswerer answer;
    ExpectErrorBox(answer, "Wert 9 ist zu groß.");
    QObject::connect(&spin, &QSpinBox::valueChanged, Guarded([](int value) {
        throw QuarnError("Wert " + std::to_string(value) + " ist zu groß");
    }));
    spin.setValue(9);
    EXPECT_EQ(seen, 9);
    EXPECT_TRUE(answer.Finished());
}

} // namespace
