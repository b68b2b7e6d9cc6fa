#include "RecordingLauncher.h"

#include "app/dialogs/AboutForm.h"
#include "app/dialogs/ProductInfo.h"

#include <QEvent>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace vireon::test {
namespace {

class AboutBox : public testing::Test {
protected:
    AboutBox() { SetShellLauncher(Launcher); }
    ~AboutBox() override { SetShellLauncher(nullptr); }

    static QColor TextColour(const QWidget* Label) {
        return Label->palette().color(QPalette::WindowText);
    }

    std::shared_ptr<RecordingLauncher> Launcher = std::make_shared<RecordingLauncher>();
    TAboutFrm Box;
};

// WCAG 2 relative luminance and contrast ratio.
double Luminance(const QColor& Colour) {
    const auto Linear = [](double Value) {
        return Value <= 0.04045 ? Value / 12.92 : std::pow((Value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * Linear(Colour.redF()) + 0.7152 * Linear(Colour.greenF()) +
           0.0722 * Linear(Colour.blueF());
}

double Contrast(const QColor& First, const QColor& Second) {
    const double A = Luminance(First);
    const double B = Luminance(Second);
    return (std::max(A, B) + 0.05) / (std::min(A, B) + 0.05);
}

// The contrast of a label's text as the box paints it: the commonest pixel
// of the label's area is its ground, the one that stands out most from it
// the text.
double RenderedContrast(QWidget& Box, const QWidget& Label) {
    const QImage Picture = Box.grab().toImage();
    const QRect Area(Label.mapTo(&Box, QPoint(0, 0)), Label.size());
    std::map<QRgb, int> Counts;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X)
            ++Counts[Picture.pixel(X, Y)];
    const QColor Ground(std::max_element(Counts.begin(), Counts.end(), [](auto A, auto B) {
                            return A.second < B.second;
                        })->first);
    double Most = 1.0;
    for (const auto& [Pixel, Count] : Counts)
        Most = std::max(Most, Contrast(QColor(Pixel), Ground));
    return Most;
}

TEST_F(AboutBox, IsAToolWindowOnTopWithoutCaptionButtons) {
    EXPECT_EQ(Box.windowTitle(), "About Vireon");
    const Qt::WindowFlags Flags = Box.windowFlags();
    EXPECT_EQ(Flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(Flags.testFlag(Qt::WindowStaysOnTopHint));
    for (Qt::WindowType Button : {Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                  Qt::WindowMaximizeButtonHint, Qt::WindowSystemMenuHint})
        EXPECT_FALSE(Flags.testFlag(Button)) << Button;
    EXPECT_EQ(Box.size(), QSize(395, 287));
    EXPECT_TRUE(Box.autoFillBackground());
}

TEST_F(AboutBox, ShowsTheBannerAndTheProductLines) {
    EXPECT_EQ(Box.BannerImage->pixmap().size(), QSize(380, 98));
    EXPECT_EQ(Box.sLabel1->text(), "Vireon");
    EXPECT_EQ(Box.sLabel1->font().family(), "Tahoma");
    EXPECT_EQ(Box.sLabel1->font().pointSize(), 12);
    EXPECT_TRUE(Box.sLabel1->font().bold());
    const QStringList Lines = Box.sLabel2->text().split('\n');
    ASSERT_EQ(Lines.size(), 5);
    EXPECT_TRUE(Lines[1].contains(QStringLiteral("Vireon ") + ProductVersion))
        << Lines[1].toStdString();
    EXPECT_TRUE(Lines[3].isEmpty());
    for (const QWidget* Label : {Box.sLabel1, Box.sLabel2})
        EXPECT_EQ(TextColour(Label), QColor(Qt::white));
    EXPECT_EQ(Box.btnOK->text(), "Ok");
}

TEST_F(AboutBox, LinkLightsUnderTheMouseAndOpensThePage) {
    EXPECT_EQ(Box.sWebLabel1->text(), ProductWebAddress);
    EXPECT_EQ(TextColour(Box.sWebLabel1), QColor(255, 255, 0));
    QEvent Enter(QEvent::Enter);
    QCoreApplication::sendEvent(Box.sWebLabel1, &Enter);
    EXPECT_EQ(TextColour(Box.sWebLabel1), QColor(192, 192, 192));
    QEvent Leave(QEvent::Leave);
    QCoreApplication::sendEvent(Box.sWebLabel1, &Leave);
    EXPECT_EQ(TextColour(Box.sWebLabel1), QColor(255, 255, 0));

    EXPECT_TRUE(Launcher->Urls.empty());
    QTest::mouseClick(Box.sWebLabel1, Qt::RightButton);
    EXPECT_TRUE(Launcher->Urls.empty());
    QTest::mouseClick(Box.sWebLabel1, Qt::LeftButton);
    ASSERT_EQ(Launcher->Urls.size(), 1u);
    EXPECT_EQ(Launcher->Urls[0], QUrl(ProductWebAddress));
}

TEST_F(AboutBox, TextMeetsTheAaContrastOnItsGround) {
    Box.show();
    for (const QWidget* Label : {Box.sLabel1, Box.sLabel2, Box.sWebLabel1}) {
        SCOPED_TRACE(Label->objectName().toStdString());
        EXPECT_GE(RenderedContrast(Box, *Label), 4.5);
    }
    // The link lit under the mouse too.
    QEvent Enter(QEvent::Enter);
    QCoreApplication::sendEvent(Box.sWebLabel1, &Enter);
    EXPECT_GE(RenderedContrast(Box, *Box.sWebLabel1), 4.5);
}

TEST_F(AboutBox, OkClosesTheBox) {
    Box.show();
    Box.btnOK->click();
    EXPECT_FALSE(Box.isVisible());
    EXPECT_EQ(Box.result(), QDialog::Accepted);
}

} // namespace
} // namespace vireon::test
