#include "ui/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vireon {
namespace {

QStringList Warnings;

void RecordWarning(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
    if (Type != QtDebugMsg && Type != QtInfoMsg) {
        Warnings << Message;
    }
}

class Skin : public ::testing::Test {
protected:
    void SetUp() override {
        Warnings.clear();
        Previous = qInstallMessageHandler(RecordWarning);
        ApplySkin(*qApp);
    }
    void TearDown() override { qInstallMessageHandler(Previous); }

    QtMessageHandler Previous = nullptr;
};

TEST_F(Skin, SetsADarkPaletteAndItsStyleSheet) {
    const QPalette Palette = QApplication::palette();
    EXPECT_LT(Palette.color(QPalette::Window).lightness(), 50);
    EXPECT_LT(Palette.color(QPalette::Base).lightness(), 50);
    EXPECT_LT(Palette.color(QPalette::Button).lightness(), 60);
    EXPECT_GT(Palette.color(QPalette::WindowText).lightness(), 160);
    EXPECT_GT(Palette.color(QPalette::Text).lightness(), 160);
    EXPECT_GT(Palette.color(QPalette::ButtonText).lightness(), 160);
    EXPECT_FALSE(qApp->styleSheet().trimmed().isEmpty());
}

double MeanLightness(const QImage& Image) {
    double Sum = 0;
    for (int Y = 0; Y < Image.height(); ++Y) {
        for (int X = 0; X < Image.width(); ++X) {
            Sum += QColor(Image.pixel(X, Y)).lightness();
        }
    }
    return Sum / (double(Image.width()) * Image.height());
}

struct Control {
    const char* Kind;
    std::function<QWidget*()> Make;
};

// Each kind of control, rendered with the skin, comes out dark and the style
// sheet parses without a complaint from Qt.
TEST_F(Skin, DrawsEveryKindOfControlDark) {
    const std::vector<Control> Controls = {
        {"push button", [] { return new QPushButton(QStringLiteral("Start")); }},
        {"check box",
         [] {
             auto* Box = new QCheckBox(QStringLiteral("Peak Hold"));
             Box->setChecked(true);
             return Box;
         }},
        {"radio button", [] { return new QRadioButton(QStringLiteral("Welch")); }},
        {"combo box",
         [] {
             auto* Combo = new QComboBox;
             Combo->addItems({QStringLiteral("Hanning"), QStringLiteral("Blackman")});
             return Combo;
         }},
        {"line edit", [] { return new QLineEdit(QStringLiteral("4096")); }},
        {"track bar", [] { return new QSlider(Qt::Horizontal); }},
        {"scroll bar", [] { return new QScrollBar(Qt::Vertical); }},
        {"group box", [] { return new QGroupBox(QStringLiteral("Realtime Analyzer")); }},
        {"list box", [] { return new QListWidget; }},
        {"tab widget",
         [] {
             auto* Tabs = new QTabWidget;
             Tabs->addTab(new QWidget, QStringLiteral("Real Time"));
             return Tabs;
         }},
        {"menu",
         [] {
             auto* Menu = new QMenu;
             Menu->addAction(QStringLiteral("Settings..."));
             return Menu;
         }},
    };
    for (const Control& C : Controls) {
        std::unique_ptr<QWidget> Widget(C.Make());
        Widget->resize(Widget->sizeHint().expandedTo(QSize(60, 60)));
        Widget->ensurePolished();
        const QImage Picture = Widget->grab().toImage();
        EXPECT_LT(MeanLightness(Picture), 70.0) << C.Kind;
    }
    EXPECT_TRUE(Warnings.isEmpty()) << Warnings.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace vireon
