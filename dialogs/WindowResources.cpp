#include "dialogs/WindowResources.h"

#include "dialogs/DialogResources.h"
#include "platform/ui/DialogTemplate.h"

void RegisterWindowDialogResources() {
    static const bool done = [] {
        // The program icon every dialog shows comes with the settings dialogs' resources.
        RegisterSettingsDialogResources();
#define TALVERN_DIALOG(...) RegisterDialogTemplate(DialogTemplate __VA_ARGS__);
#include "resources/dialogs/WindowDialogs.inc"
#undef TALVERN_DIALOG
        return true;
    }();
    (void)done;
}
