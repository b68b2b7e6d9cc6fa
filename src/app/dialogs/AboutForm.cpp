#include "app/dialogs/AboutForm.h"

#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/ShellCommands.h"
#include "ui/Pictures.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScreen>

namespace vireon {

namespace {

// Dark enough for every text colour of the box, the link under the mouse
// included, to stand out by at least 4.5:1 (WCAG AA); the lighter grey it
// replaces gave white text 2.9:1.
const QColor BoxGrey(72, 70, 69);
const QColor TextWhite(255, 255, 255);
const QColor LinkYellow(255, 255, 0);
const QColor LinkHoverSilver(192, 192, 192);

QString InfoLines() {
    return QStringList{
        QStringLiteral("Copyright (C) 2026 Orlindt. All rights reserved."),
        QStringLiteral("Vireon %1 - real-time audio spectrum analyser")
            .arg(QString::fromLatin1(ProductVersion)),
        QStringLiteral("Written by the Orlindt audio team"),
        QString(),
        QStringLiteral("Support: support@vireon.orlindt.example"),
    }
        .join(QLatin1Char('\n'));
}

void SetTextColour(QWidget* Widget, const QColor& Colour) {
    QPalette Palette = Widget->palette();
    Palette.setColor(QPalette::WindowText, Colour);
    Widget->setPalette(Palette);
}

} // namespace

TAboutFrm::TAboutFrm(QWidget* Owner) : QDialog(Owner) {
    setupUi(this);
    // A tool window without caption-bar buttons, above every other window.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFixedSize(size());
    BannerImage->setPixmap(QPixmap::fromImage(BannerPicture()));
    sLabel2->setText(InfoLines());
    sWebLabel1->setText(QString::fromLatin1(ProductWebAddress));
    sWebLabel1->installEventFilter(this);
    SetColours();
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen();
}

void TAboutFrm::sWebLabel1Click(QObject*) {
    OpenProductWebPage();
}

bool TAboutFrm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == sWebLabel1) {
        switch (Event->type()) {
        case QEvent::Enter:
            SetLinkColour(LinkHoverSilver);
            break;
        case QEvent::Leave:
            SetLinkColour(LinkYellow);
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton)
                sWebLabel1Click(sWebLabel1);
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

void TAboutFrm::SetColours() {
    QPalette Palette = palette();
    Palette.setColor(QPalette::Window, BoxGrey);
    setPalette(Palette);
    setAutoFillBackground(true);
    SetTextColour(sLabel1, TextWhite);
    SetTextColour(sLabel2, TextWhite);
    SetLinkColour(LinkYellow);
}

void TAboutFrm::SetLinkColour(const QColor& Colour) {
    SetTextColour(sWebLabel1, Colour);
}

void TAboutFrm::CentreOnScreen() {
    // Moving it here also keeps the dialog from centring itself over its owner.
    const QRect Screen = screen()->availableGeometry();
    move(Screen.center() - rect().center());
}

} // namespace vireon
