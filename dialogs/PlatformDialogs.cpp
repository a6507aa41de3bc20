#include "dialogs/PlatformDialogs.h"

#include <cstring>

#include "dialogs/AcmFormatChooseDlg.h"
#include "dialogs/VcmAboutDlg.h"
#include "dialogs/VcmConfigureDlg.h"
#include "platform/acm/Acm.h"
#include "platform/vcm/Vcm.h"

namespace {

// The window the layers name as owner, as the dialogs' parent.
CWnd* OwnerOf(HWND owner) { return owner ? CWnd::FromWidget(CWnd::FromHandle(owner)) : nullptr; }

class CAcmChooser : public AcmFormatChooser {
public:
    MMRESULT Choose(ACMFORMATCHOOSEW& request) override {
        CAcmFormatChooseDlg dlg(request, OwnerOf(request.hwndOwner));
        if (dlg.DoModal() != IDOK || dlg.Chosen().empty() || dlg.Chosen().size() > request.cbwfx)
            return ACMERR_CANCELED;
        std::memcpy(request.pwfx, dlg.Chosen().data(), dlg.Chosen().size());
        return MMSYSERR_NOERROR;
    }
};

class CVcmDialogs : public IVcmDialogs {
public:
    bool Configure(HWND owner, const ICINFO& info, VcmCodecOptions& options) override {
        CVcmConfigureDlg dlg(info, VcmGetOptionLimits(info.fccHandler), options, OwnerOf(owner));
        if (dlg.DoModal() != IDOK) return false;
        options = dlg.GetOptions();
        return true;
    }
    void About(HWND owner, const ICINFO& info) override {
        CVcmAboutDlg dlg(info, OwnerOf(owner));
        dlg.DoModal();
    }
};

}  // namespace

void InstallPlatformDialogs() {
    static CAcmChooser chooser;
    static CVcmDialogs vcm;
    AcmSetFormatChooser(&chooser);
    VcmSetDialogs(&vcm);
}
