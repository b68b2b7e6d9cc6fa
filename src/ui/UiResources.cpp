#include "ui/UiResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the generated registration function, so it must be
// expanded outside any namespace.
static void RegisterUiResources() {
    Q_INIT_RESOURCE(vireon_ui);
}

namespace vireon {

void EnsureUiResources() {
    static const bool Registered = [] {
        RegisterUiResources();
        return true;
    }();
    (void)Registered;
}

} // namespace vireon
