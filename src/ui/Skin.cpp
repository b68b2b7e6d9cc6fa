#include "ui/Skin.h"

#include "ui/UiResources.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QPalette>

namespace vireon {

namespace {

// The dark palette: the displays' near-black, the panel and button greys,
// light and dimmed text, the green of the lit bars for selections, yellow for
// links.
const QColor DisplayBlack(10, 10, 20);
const QColor PanelDark(22, 24, 30);
const QColor ButtonDark(34, 38, 44);
const QColor ShadowBlack(0, 0, 0);
const QColor TextLight(208, 216, 208);
const QColor TextDimmed(96, 102, 100);
const QColor LedGreen(0, 170, 0);
const QColor LinkYellow(255, 255, 0);

void SetActiveAndInactive(QPalette& Palette, QPalette::ColorRole Role, const QColor& Colour) {
    Palette.setColor(QPalette::Active, Role, Colour);
    Palette.setColor(QPalette::Inactive, Role, Colour);
}

QPalette DarkPalette() {
    QPalette Palette;
    SetActiveAndInactive(Palette, QPalette::Window, PanelDark);
    SetActiveAndInactive(Palette, QPalette::WindowText, TextLight);
    SetActiveAndInactive(Palette, QPalette::Base, DisplayBlack);
    SetActiveAndInactive(Palette, QPalette::AlternateBase, PanelDark);
    SetActiveAndInactive(Palette, QPalette::Text, TextLight);
    SetActiveAndInactive(Palette, QPalette::PlaceholderText, TextDimmed);
    SetActiveAndInactive(Palette, QPalette::Button, ButtonDark);
    SetActiveAndInactive(Palette, QPalette::ButtonText, TextLight);
    SetActiveAndInactive(Palette, QPalette::BrightText, LinkYellow);
    SetActiveAndInactive(Palette, QPalette::Highlight, LedGreen);
    SetActiveAndInactive(Palette, QPalette::HighlightedText, ShadowBlack);
    SetActiveAndInactive(Palette, QPalette::ToolTipBase, DisplayBlack);
    SetActiveAndInactive(Palette, QPalette::ToolTipText, TextLight);
    SetActiveAndInactive(Palette, QPalette::Link, LinkYellow);
    SetActiveAndInactive(Palette, QPalette::LinkVisited, LinkYellow.darker(130));
    SetActiveAndInactive(Palette, QPalette::Light, ButtonDark.lighter(160));
    SetActiveAndInactive(Palette, QPalette::Midlight, ButtonDark.lighter(130));
    SetActiveAndInactive(Palette, QPalette::Mid, PanelDark.darker(130));
    SetActiveAndInactive(Palette, QPalette::Dark, ShadowBlack);
    SetActiveAndInactive(Palette, QPalette::Shadow, ShadowBlack);

    for (QPalette::ColorRole Role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        Palette.setColor(QPalette::Disabled, Role, Palette.color(QPalette::Active, Role));
    }
    for (QPalette::ColorRole Role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText}) {
        Palette.setColor(QPalette::Disabled, Role, TextDimmed);
    }
    Palette.setColor(QPalette::Disabled, QPalette::Highlight, PanelDark.lighter(150));
    return Palette;
}

QString StoredStyleSheet() {
    QFile File(QStringLiteral(":/vireon/skin/vireon.qss"));
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    return QString::fromUtf8(File.readAll());
}

} // namespace

void ApplySkin(QApplication& App) {
    EnsureUiResources();
    // Fusion draws every control from the palette alone, so the look is the
    // same whatever desktop theme the user runs.
    App.setStyle(QStringLiteral("Fusion"));
    App.setPalette(DarkPalette());
    App.setStyleSheet(StoredStyleSheet());
}

} // namespace vireon
