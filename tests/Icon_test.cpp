#include "app/Icon.h"
#include "app/Logo.h"

#include <QColor>
#include <QRegularExpression>
#include <QString>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

class IconImageTest : public ::testing::TestWithParam<int> {};

// Points as fractions of the side: the corner outside the heart, the heart below the pulse
// curve, and the curve's flat start.
TEST_P(IconImageTest, HeartWithWhitePulseOnTransparentSquare) {
    const int size = GetParam();
    const QImage image = MakeIconImage(size);
    ASSERT_EQ(image.size(), QSize(size, size));
    const auto at = [&](double x, double y) {
        return image.pixelColor(static_cast<int>(x * size), static_cast<int>(y * size));
    };
    EXPECT_EQ(at(0.02, 0.02).alpha(), 0);
    EXPECT_EQ(at(0.98, 0.98).alpha(), 0);
    EXPECT_EQ(at(0.5, 0.8).rgb(), HeartRed.rgb());
    const QColor pulse = at(0.28, 0.492);
    EXPECT_GT(pulse.lightness(), 200) << pulse.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconImageTest, ::testing::Values(16, 48, 256));

TEST(IconSvgTest, IsOneSquareWithTheHeartPathAndThePulseLine) {
    const QString svg = QString::fromStdString(MakeIconSvg());
    QXmlStreamReader reader(svg);
    QStringList elements;
    QString heartData;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        elements << reader.name().toString();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("svg")) {
            EXPECT_EQ(attributes.value("viewBox").toString(), "0 0 256 256");
        } else if (reader.name() == QLatin1String("path")) {
            EXPECT_EQ(attributes.value("fill").toString(), HeartRed.name());
            heartData = attributes.value("d").toString();
        } else if (reader.name() == QLatin1String("polyline")) {
            EXPECT_EQ(attributes.value("stroke").toString(), "#ffffff");
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(elements, QStringList({"svg", "path", "polyline"}));
    const QRegularExpression pathSyntax(R"(^M [\d.]+ [\d.]+ (C( [\d.]+ [\d.]+){3} )+Z$)");
    EXPECT_TRUE(pathSyntax.match(heartData).hasMatch()) << heartData.toStdString();
}

} // namespace
