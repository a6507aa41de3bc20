#include "dialogs/CodecResources.h"

#include "dialogs/DialogResources.h"
#include "platform/ui/DialogTemplate.h"

void RegisterCodecDialogResources() {
    static const bool done = [] {
        // The icons of every dialog come with the settings dialogs' resources.
        RegisterSettingsDialogResources();
#define TALVERN_DIALOG(...) RegisterDialogTemplate(DialogTemplate __VA_ARGS__);
#include "resources/dialogs/CodecDialogs.inc"
#undef TALVERN_DIALOG
        return true;
    }();
    (void)done;
}

std::wstring DialogTextWithNumber(UINT ja, long long n) {
    std::wstring text = DialogText(ja);
    const size_t at = text.find(L"%d");
    return at == std::wstring::npos ? text : text.replace(at, 2, std::to_wstring(n));
}
