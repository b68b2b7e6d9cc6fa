#pragma once

class QApplication;

namespace vireon {

// Gives every control of the application the one dark look of Vireon: a dark
// palette on the Fusion style, plus the style sheet stored in the resources.
void ApplySkin(QApplication& App);

} // namespace vireon
