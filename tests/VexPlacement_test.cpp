#include "common/support/MemorySettings.h"
#include "common/widgets/TestApplication.h"
#include "platform/Errors.h"
#include "support/widgets/VexMisc.h"
#include "support/widgets/VexPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QSize kScreen(1024, 768);

class PlacementTest : public testing::Test {
protected:
    void SetUp() override {
        form_.setObjectName("FrmMain");
        form_.setGeometry(100, 100, 320, 240);
    }
    void TearDown() override { AppSettings.reset(); }

    void store(const std::string& text) { settings_.WriteString("Forms\rFrmMain", text); }
    void makeFixed() { form_.setFixedSize(form_.size()); }

    // Widgets need the application first.
    QApplication& app_ = TestApplication();
    MemorySettings settings_;
    QWidget form_;
};

struct FitCase {
    std::string stored;
    bool sizeable;
    QRect expected;
};

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.stored << (c.sizeable ? " sizeable" : " fixed");
}

class PlacementFitTest : public PlacementTest, public testing::WithParamInterface<FitCase> {};

TEST_P(PlacementFitTest, PlacesOntoTheScreen) {
    const FitCase& c = GetParam();
    if (!c.sizeable) {
        makeFixed();
    }
    store(c.stored);
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_EQ(form_.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowNoState);
    EXPECT_EQ(form_.frameGeometry(), c.expected);
}

// The fixed form keeps its own 320 by 240.
INSTANTIATE_TEST_SUITE_P(
    Stored, PlacementFitTest,
    testing::Values(FitCase{"408,245,400,460,0", true, QRect(408, 245, 400, 460)},
                    FitCase{"900,100,300,200,0", true, QRect(724, 100, 300, 200)},
                    FitCase{"0,0,1200,900,0", true, QRect(624, 368, 400, 400)},
                    FitCase{"0,0,1200,900,0", false, QRect(624, 368, 320, 240)},
                    FitCase{"724,568,300,200,0", true, QRect(724, 568, 300, 200)},
                    FitCase{"725,569,300,200,0", true, QRect(724, 568, 300, 200)},
                    FitCase{"-50,10,300,200,0", true, QRect(-50, 10, 300, 200)},
                    FitCase{"10,20,300,200,7", true, QRect(10, 20, 300, 200)},
                    FitCase{"10,20,300,200,-1", true, QRect(10, 20, 300, 200)},
                    FitCase{"10,20,300,200", true, QRect(10, 20, 300, 200)},
                    FitCase{"10,20,300,200,x", true, QRect(10, 20, 300, 200)},
                    FitCase{"10,x,300,200,0", true, QRect(10, 0, 300, 200)},
                    FitCase{"2147483647,2147483647,300,200,0", true, QRect(724, 568, 300, 200)},
                    // A larger-than-screen window stays reachable even when its left edge is
                    // far off the screen, and a stored size of nothing keeps the form's own.
                    FitCase{"-5000,0,5000,200,0", true, QRect(624, 0, 400, 200)},
                    FitCase{"10,20,0,200,0", true, QRect(10, 20, 320, 240)},
                    FitCase{"10,20,-300,200,0", true, QRect(10, 20, 320, 240)}));

TEST_F(PlacementTest, MaximizedStateLeavesPositionAndSize) {
    store("5,6,700,500,2");
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_TRUE(form_.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form_.geometry(), QRect(100, 100, 320, 240));
}

TEST_F(PlacementTest, MinimizedStateLeavesPositionAndSize) {
    store("5,6,700,500,1");
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_TRUE(form_.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(form_.geometry(), QRect(100, 100, 320, 240));
}

TEST_F(PlacementTest, StoredNormalStateClearsMaximized) {
    form_.setWindowState(Qt::WindowMaximized);
    store("10,20,300,200,0");
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_FALSE(form_.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form_.frameGeometry(), QRect(10, 20, 300, 200));
}

TEST_F(PlacementTest, RestoreBeforeAnySaveLeavesTheEmptyValue) {
    EXPECT_FALSE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_EQ(settings_.Stored("Forms", "FrmMain"), "");
    EXPECT_EQ(form_.geometry(), QRect(100, 100, 320, 240));
}

TEST_F(PlacementTest, EmptyStoredTextChangesNothing) {
    store("");
    form_.setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_TRUE(form_.windowState() & Qt::WindowMaximized);
}

std::string outerText(const QWidget& form, int state) {
    const QRect outer = form.frameGeometry();
    return std::to_string(outer.x()) + "," + std::to_string(outer.y()) + "," +
           std::to_string(outer.width()) + "," + std::to_string(outer.height()) + "," +
           std::to_string(state);
}

TEST_F(PlacementTest, SaveWritesOuterGeometryAndState) {
    form_.move(408, 245);
    form_.resize(400, 460);
    SaveFormPlacement(form_, &settings_);
    EXPECT_EQ(settings_.Stored("Forms", "FrmMain"), outerText(form_, 0));

    form_.move(-50, -7);
    form_.setWindowState(Qt::WindowMinimized);
    SaveFormPlacement(form_, &settings_);
    EXPECT_EQ(settings_.Stored("forms", "frmmain"), outerText(form_, 1));
    EXPECT_LT(form_.frameGeometry().x(), 0);

    form_.setWindowState(Qt::WindowMaximized);
    SaveFormPlacement(form_, &settings_);
    EXPECT_EQ(settings_.Stored("Forms", "FrmMain"), outerText(form_, 2));
}

TEST_F(PlacementTest, ShownWindowGetsItsOuterFramePlaced) {
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    store("900,100,300,200,0");
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_, kScreen));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_.frameGeometry() == QRect(724, 100, 300, 200); }))
        << form_.frameGeometry().x() << "," << form_.frameGeometry().y() << " "
        << form_.frameGeometry().width() << "x" << form_.frameGeometry().height();
    SaveFormPlacement(form_, &settings_);
    EXPECT_EQ(settings_.Stored("Forms", "FrmMain"), "724,100,300,200,0");
}

TEST_F(PlacementTest, SaveThenRestoreGivesTheSameWindow) {
    form_.setGeometry(30, 40, 500, 300);
    SaveFormPlacement(form_, &settings_);
    QWidget other;
    other.setObjectName("FrmMain");
    EXPECT_TRUE(RestoreFormPlacement(other, &settings_, kScreen));
    EXPECT_EQ(other.frameGeometry(), form_.frameGeometry());
}

TEST_F(PlacementTest, UsesTheStoresFormsSection) {
    settings_.FormsSection = "Fenster";
    SaveFormPlacement(form_, &settings_);
    EXPECT_TRUE(settings_.Stored("Fenster", "FrmMain").has_value());
    EXPECT_FALSE(settings_.Stored("Forms", "FrmMain").has_value());
}

TEST_F(PlacementTest, FallsBackToAppSettings) {
    auto owned = std::make_unique<MemorySettings>();
    MemorySettings* app = owned.get();
    AppSettings = std::move(owned);
    SaveFormPlacement(form_);
    ASSERT_TRUE(app->Stored("Forms", "FrmMain").has_value());
    form_.move(0, 0);
    EXPECT_TRUE(RestoreFormPlacement(form_, nullptr, kScreen));
    EXPECT_EQ(form_.pos(), QPoint(100, 100));
}

TEST_F(PlacementTest, WithoutAnyStoreNothingHappens) {
    AppSettings.reset();
    SaveFormPlacement(form_);
    EXPECT_FALSE(RestoreFormPlacement(form_));
    EXPECT_EQ(form_.geometry(), QRect(100, 100, 320, 240));
}

TEST_F(PlacementTest, FailedWriteReachesTheCaller) {
    settings_.FailWrites = true;
    EXPECT_THROW(SaveFormPlacement(form_, &settings_), RegistryError);
}

TEST_F(PlacementTest, DefaultScreenIsThePrimaryScreen) {
    store("100000,100000,300,200,0");
    EXPECT_TRUE(RestoreFormPlacement(form_, &settings_));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(form_.frameGeometry().topLeft(), QPoint(screen.width() - 300, screen.height() - 200));
}

} // namespace
