#include "app/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace vireon {

namespace {

std::function<void(const QString&)>& Presenter() {
    static std::function<void(const QString&)> Instance;
    return Instance;
}

void ShowMessageBox(const QString& Text) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), Text);
}

} // namespace

void ShowErrorBox(const std::exception& Error) {
    const QString Text = QString::fromUtf8(Error.what());
    if (Presenter())
        Presenter()(Text);
    else
        ShowMessageBox(Text);
}

void SetErrorBoxPresenter(std::function<void(const QString&)> NewPresenter) {
    Presenter() = std::move(NewPresenter);
}

} // namespace vireon
