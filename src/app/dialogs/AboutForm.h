#pragma once

#include "ui_AboutForm.h"

#include <QDialog>

namespace vireon {

// The about box: the banner, the product's name, version, author and support
// lines, and the product web address as a link. A tool window that stays on
// top, centred on the screen; "Ok" closes it.
class TAboutFrm : public QDialog, public Ui::TAboutFrm {
    Q_OBJECT
public:
    explicit TAboutFrm(QWidget* Owner = nullptr);

    void sWebLabel1Click(QObject* Sender);

protected:
    // Lights the link while the mouse is over it and opens it on a click.
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetColours();
    void SetLinkColour(const QColor& Colour);
    void CentreOnScreen();
};

} // namespace vireon
