#include "common/ModalBoxAnswerer.h"
#include "common/TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QPushButton* AddButton(QDialog& dialog, const char* caption, int left) {
    auto* button = new QPushButton(caption, &dialog);
    button->move(left, 10);
    return button;
}

TEST(ModalBoxAnswererTest, StepThatOpensANestedBoxLetsTheNextStepsAnswerIt) {
    TestApplication();
    QDialog outer;
    outer.setObjectName("outer");
    int nestedResult = -1;
    QObject::connect(AddButton(outer, "Weiter", 10), &QPushButton::clicked, [&] {
        QDialog nested(&outer);
        nested.setObjectName("nested");
        QObject::connect(AddButton(nested, "Gut", 10), &QPushButton::clicked, &nested,
                         &QDialog::accept);
        nestedResult = nested.exec();
    });
    QObject::connect(AddButton(outer, "Fertig", 100), &QPushButton::clicked, &outer,
                     &QDialog::accept);
    // Ends the test instead of letting it hang when the nested box is never answered.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        ADD_FAILURE() << "the nested box was not answered";
        while (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            box->done(ModalBoxAnswerer::kForcedResult);
            QApplication::processEvents();
        }
    });
    watchdog.start(10000);

    ModalBoxAnswerer answer(std::chrono::seconds(8));
    answer.Press("Weiter")
        .Inspect([](QWidget& box) { EXPECT_EQ(box.objectName(), "nested"); })
        .Press("Gut")
        .Inspect([](QWidget& box) { EXPECT_EQ(box.objectName(), "outer"); })
        .Press("Fertig");
    EXPECT_EQ(outer.exec(), QDialog::Accepted);
    EXPECT_EQ(nestedResult, QDialog::Accepted);
    EXPECT_TRUE(answer.Finished());
}

} // namespace
