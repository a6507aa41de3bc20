#include "dialogs/DialogResources.h"

#include <QIcon>
#include <QPixmap>

#include "foundation/LangString.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Icons.h"

namespace {

void RegisterTemplates() {
#define TALVERN_DIALOG(...) RegisterDialogTemplate(DialogTemplate __VA_ARGS__);
#include "resources/dialogs/SettingsDialogs.inc"
#undef TALVERN_DIALOG
}

void RegisterIcon(UINT id, const unsigned char* bytes, size_t size) {
    // The program icon may have been registered by the application already.
    if (!LoadIconResource(id).isNull()) return;
    QPixmap picture;
    if (picture.loadFromData(bytes, static_cast<uint>(size), "PNG")) RegisterIconResource(id, QIcon(picture));
}

void RegisterIcons() {
#define TALVERN_ICON(id, ...)                                \
    {                                                        \
        static const unsigned char bytes[] = {__VA_ARGS__};  \
        RegisterIcon(id, bytes, sizeof bytes);               \
    }
#include "dialogs/IconData.inc"
#undef TALVERN_ICON
}

}  // namespace

void RegisterSettingsDialogResources() {
    static const bool done = [] {
        RegisterTemplates();
        RegisterIcons();
        return true;
    }();
    (void)done;
}

std::wstring DialogText(UINT ja) { return LoadLangString(ja, ja + 1); }

std::wstring DialogTextWithPath(UINT ja, const std::wstring& path) {
    std::wstring text = DialogText(ja);
    const size_t at = text.find(L"%s");
    return at == std::wstring::npos ? text + path : text.replace(at, 2, path);
}
