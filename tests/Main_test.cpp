#include "app/Main.h"
#include "common/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

class MainLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        form_ = std::make_unique<TFrmMain>();
    }

    template <typename T = QWidget> T* Control(const char* name) {
        T* control = form_->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    std::unique_ptr<TFrmMain> form_;
};

TEST_F(MainLayoutTest, WindowHasItsCaptionFixedSizeAndNoMaximizeBox) {
    EXPECT_EQ(form_->objectName(), "FrmMain");
    EXPECT_EQ(form_->windowTitle(), "lirn Quarn professional - Blutdruckmessung");
    EXPECT_EQ(form_->size(), QSize(394, 384));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
    const Qt::WindowFlags flags = form_->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(Control("PnlExtend")->isVisibleTo(form_.get()));
    EXPECT_FALSE(Control("BtnExport")->isEnabled());
    EXPECT_EQ(form_->StatusText(), "");
    EXPECT_FALSE(Control<QTimer>("TmUSB")->isActive());
    EXPECT_FALSE(Control<QTimer>("TmConnect")->isActive());
    EXPECT_EQ(Control<QTimer>("TmUSB")->interval(), 150);
    EXPECT_EQ(Control<QTimer>("TmConnect")->interval(), 1000);
}

struct GeometryCase {
    const char* name;
    const char* parent;
    QRect geometry;
};

TEST_F(MainLayoutTest, ControlsSitAtTheirPixelPositions) {
    const GeometryCase cases[] = {
        {"PnlTop", "FrmMain", QRect(0, 0, 394, 305)},
        {"Panel1", "PnlTop", QRect(1, 1, 392, 147)},
        {"Bevel1", "Panel1", QRect(12, 55, 267, 2)},
        {"Label4", "Panel1", QRect(12, 74, 260, 28)},
        {"Image1", "Panel1", QRect(288, 5, 95, 74)},
        {"PnlBottom", "FrmMain", QRect(0, 305, 394, 60)},
        {"BtnExport", "PnlBottom", QRect(20, 21, 85, 25)},
        {"BtnSettings", "PnlBottom", QRect(202, 21, 85, 25)},
        {"BtnClose", "PnlBottom", QRect(298, 21, 85, 25)},
        {"PnlExtend", "FrmMain", QRect(0, 365, 394, 50)},
        {"BtnConnect", "PnlExtend", QRect(298, 12, 85, 25)},
        {"StbMain", "FrmMain", QRect(0, 365, 394, 19)},
    };
    for (const GeometryCase& c : cases) {
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
    }
    QComboBox* devices = Control<QComboBox>("CmbUSBDevices");
    EXPECT_EQ(devices->pos(), QPoint(45, 14));
    EXPECT_EQ(devices->width(), 233);
    EXPECT_FALSE(devices->isEditable());
}

struct LabelCase {
    const char* name;
    const char* parent;
    QPoint topLeft;
    const char* text;
};

TEST_F(MainLayoutTest, LabelsCarryTheirTextsAtTheirPlaces) {
    const LabelCase cases[] = {
        {"Label6", "Panel1", {12, 12}, "Name:"},
        {"LblName", "Panel1", {101, 12}, "-"},
        {"Label7", "Panel1", {12, 29}, "Patienten-Nr.:"},
        {"LblPatNo", "Panel1", {101, 29}, "-"},
        {"Label4",
         "Panel1",
         {12, 74},
         "Um eine Messung durchzuführen, drücken Sie bitte die Start-Taste am Gerät"},
        {"LblDateTime", "Panel1", {12, 114}, "-"},
        {"Label10", "PnlTop", {12, 153}, "Systole"},
        {"Label11", "PnlTop", {12, 183}, "Diastole"},
        {"Label12", "PnlTop", {12, 213}, "Puls"},
        {"Label13", "PnlTop", {12, 243}, "MAD"},
        {"Label14", "PnlTop", {12, 273}, "Arrhythmie"},
        {"Label1", "PnlTop", {184, 159}, "mmHg"},
        {"Label2", "PnlTop", {184, 189}, "mmHg"},
        {"Label3", "PnlTop", {184, 219}, "PUL/min."},
        {"Label5", "PnlTop", {184, 249}, "mmHg"},
        {"LblDevice", "PnlExtend", {13, 18}, "Gerät"},
    };
    for (const LabelCase& c : cases) {
        QLabel* label = Control<QLabel>(c.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(label->pos(), c.topLeft) << c.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance("-")) << c.name;
    }
    EXPECT_TRUE(Control<QLabel>("Label4")->wordWrap());
}

TEST_F(MainLayoutTest, ValuesAlignRightAgainstOneEdgeOnTheirRows) {
    const std::pair<const char*, int> rows[] = {{"LblUSBSystole", 153},
                                                {"LblUSBDiastole", 183},
                                                {"LblUSBPuls", 213},
                                                {"LblUSBMad", 243},
                                                {"LblUSBArr", 273}};
    for (const auto& [name, top] : rows) {
        QLabel* value = Control<QLabel>(name);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->parentWidget()->objectName(), "PnlTop") << name;
        EXPECT_EQ(value->y(), top) << name;
        EXPECT_EQ(value->geometry().right() + 1, 172) << name;
        EXPECT_TRUE(value->alignment().testFlag(Qt::AlignRight)) << name;
        EXPECT_EQ(value->text(), "-") << name;
        value->setText("510");
        EXPECT_LE(value->fontMetrics().horizontalAdvance("Nein"), value->width()) << name;
    }
}

struct FontCase {
    const char* name;
    const char* family;
    int pixelSize;
    bool bold;
};

TEST_F(MainLayoutTest, ControlsUseTheirFonts) {
    const FontCase cases[] = {
        {"FrmMain", "Tahoma", 11, false},      {"BtnClose", "Tahoma", 11, false},
        {"LblDevice", "Tahoma", 11, false},    {"Panel1", "MS Sans Serif", 11, true},
        {"Label6", "MS Sans Serif", 11, true}, {"LblPatNo", "MS Sans Serif", 11, true},
        {"Label4", "Arial", 11, true},         {"LblDateTime", "Arial", 19, true},
        {"Label14", "Arial", 19, true},        {"LblUSBArr", "Arial", 19, true},
        {"Label3", "Arial", 11, true},
    };
    for (const FontCase& c : cases) {
        QWidget* control = std::string(c.name) == "FrmMain" ? form_.get() : Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->font().family(), c.family) << c.name;
        EXPECT_EQ(control->font().pixelSize(), c.pixelSize) << c.name;
        EXPECT_EQ(control->font().bold(), c.bold) << c.name;
    }
}

TEST_F(MainLayoutTest, ButtonsCarryCaptionsAndTabOrder) {
    EXPECT_EQ(Control<QPushButton>("BtnExport")->text(), "GDT-Export");
    EXPECT_EQ(Control<QPushButton>("BtnSettings")->text(), "&Einstellungen");
    EXPECT_EQ(Control<QPushButton>("BtnClose")->text(), QString::fromUtf8("S&chließen"));
    EXPECT_EQ(Control<QPushButton>("BtnConnect")->text(), "Verbinden");

    QStringList order;
    QWidget* widget = Control("BtnExport");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != Control("BtnExport"));
    EXPECT_EQ(order,
              QStringList({"BtnExport", "BtnSettings", "BtnClose", "CmbUSBDevices", "BtnConnect"}));
}

TEST_F(MainLayoutTest, LogoHasVisibleDrawingOfItsSize) {
    const QPixmap logo = Control<QLabel>("Image1")->pixmap();
    ASSERT_EQ(logo.size(), QSize(95, 74));
    const QImage image = logo.toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            inked += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 95 * 74 / 20);
    EXPECT_LT(inked, 95 * 74 / 2);
}

} // namespace
