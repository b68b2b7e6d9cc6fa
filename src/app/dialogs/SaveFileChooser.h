#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vireon {

// Asks where to save a file; an empty answer means the user cancelled. The
// desktop's save dialog by default; tests put their own answer in place.
using TSaveFileChooser = std::function<QString(
    QWidget* Parent, const QString& Caption, const QString& SuggestedName, const QString& Filter)>;

QString ChooseSaveFile(QWidget* Parent, const QString& Caption, const QString& SuggestedName,
                       const QString& Filter);
// Replaces the chooser; an empty one brings back the desktop's dialog.
void SetSaveFileChooser(TSaveFileChooser Chooser);

} // namespace vireon
