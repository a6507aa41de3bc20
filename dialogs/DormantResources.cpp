#include "dialogs/DormantResources.h"

#include <QLabel>

#include "dialogs/DialogResources.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogTemplate.h"

void RegisterDormantDialogResources() {
    static const bool done = [] {
        // The icons of every dialog are registered with the settings dialogs' resources.
        RegisterSettingsDialogResources();
#define TALVERN_DIALOG(...) RegisterDialogTemplate(DialogTemplate __VA_ARGS__);
#include "resources/dialogs/DormantDialogs.inc"
#undef TALVERN_DIALOG
        return true;
    }();
    (void)done;
}

void SetLabelBuddy(CDialog* dlg, UINT nLabel, UINT nBuddy) {
    auto* label = qobject_cast<QLabel*>(dlg->GetDlgItem(nLabel));
    if (label) label->setBuddy(dlg->GetDlgItem(nBuddy));
}
