#include "app/dialogs/SaveFileChooser.h"

#include <QDir>
#include <QFileDialog>

namespace vireon {

namespace {

TSaveFileChooser& Chooser() {
    static TSaveFileChooser Instance;
    return Instance;
}

} // namespace

QString ChooseSaveFile(QWidget* Parent, const QString& Caption, const QString& SuggestedName,
                       const QString& Filter) {
    if (Chooser())
        return Chooser()(Parent, Caption, SuggestedName, Filter);
    return QFileDialog::getSaveFileName(Parent, Caption, QDir::home().filePath(SuggestedName),
                                        Filter);
}

void SetSaveFileChooser(TSaveFileChooser NewChooser) {
    Chooser() = std::move(NewChooser);
}

} // namespace vireon
