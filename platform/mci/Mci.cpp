#include "platform/mci/Mci.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "foundation/LangString.h"
#include "platform/mci/MciMovie.h"
#include "platform/mci/MciVideoSurface.h"

namespace {

constexpr DWORD kEveryCommand = MCI_NOTIFY | MCI_WAIT;

// The open devices. The lock guards the table only: a device's own operations run
// outside it, on the one thread that drives that device.
struct DeviceTable {
    std::mutex lock;
    std::map<MCIDEVICEID, std::unique_ptr<CMciMovie>> devices;
    MCIDEVICEID next = 1;
};

DeviceTable& Devices() {
    static DeviceTable table;
    return table;
}

CMciMovie* FindDevice(MCIDEVICEID id) {
    DeviceTable& t = Devices();
    std::lock_guard<std::mutex> lock(t.lock);
    const auto it = t.devices.find(id);
    return it == t.devices.end() ? nullptr : it->second.get();
}

MCIDEVICEID AddDevice(std::unique_ptr<CMciMovie> movie) {
    DeviceTable& t = Devices();
    std::lock_guard<std::mutex> lock(t.lock);
    while (t.next == MCI_INVALID_DEVICE_ID || t.devices.count(t.next)) ++t.next;
    const MCIDEVICEID id = t.next++;
    t.devices.emplace(id, std::move(movie));
    return id;
}

std::unique_ptr<CMciMovie> TakeDevice(MCIDEVICEID id) {
    DeviceTable& t = Devices();
    std::lock_guard<std::mutex> lock(t.lock);
    const auto it = t.devices.find(id);
    if (it == t.devices.end()) return nullptr;
    std::unique_ptr<CMciMovie> movie = std::move(it->second);
    t.devices.erase(it);
    return movie;
}

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(wint_t(a[i])) != std::towlower(wint_t(b[i]))) return false;
    return true;
}

MCIERROR Open(DWORD flags, MCI_DGV_OPEN_PARMSW* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    constexpr DWORD accepted = kEveryCommand | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_DGV_OPEN_WS | MCI_DGV_OPEN_PARENT;
    if (flags & ~accepted) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_OPEN_TYPE) || !p->lpstrDeviceType) return MCIERR_DEVICE_TYPE_REQUIRED;
    if (!SameNoCase(p->lpstrDeviceType, L"AVIVideo")) return MCIERR_INVALID_DEVICE_NAME;
    if (!(flags & MCI_OPEN_ELEMENT) || !p->lpstrElementName || !*p->lpstrElementName)
        return MCIERR_FILENAME_REQUIRED;
    IMciVideoSurface* surface = (flags & MCI_DGV_OPEN_PARENT) ? MciFindVideoSurface(p->hWndParent) : nullptr;
    try {
        auto movie = std::make_unique<CMciMovie>();
        if (const MCIERROR rc = movie->Open(p->lpstrElementName, surface)) return rc;
        p->wDeviceID = AddDevice(std::move(movie));
    } catch (const std::bad_alloc&) {
        return MCIERR_OUT_OF_MEMORY;
    }
    return 0;
}

MCIERROR Play(CMciMovie& movie, DWORD flags, const MCI_PLAY_PARMS* p) {
    if (flags & ~(kEveryCommand | MCI_FROM)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_FROM)) return movie.Resume();
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (p->dwFrom > DWORD(INT_MAX)) return MCIERR_OUTOFRANGE;
    return movie.PlayFrom(int(p->dwFrom));
}

MCIERROR Seek(CMciMovie& movie, DWORD flags) {
    if (flags & ~(kEveryCommand | MCI_SEEK_TO_START | MCI_SEEK_TO_END)) return MCIERR_UNSUPPORTED_FUNCTION;
    const DWORD where = flags & (MCI_SEEK_TO_START | MCI_SEEK_TO_END);
    if (where == 0) return MCIERR_MISSING_PARAMETER;
    if (where != MCI_SEEK_TO_START && where != MCI_SEEK_TO_END) return MCIERR_FLAGS_NOT_COMPATIBLE;
    return movie.SeekTo(where == MCI_SEEK_TO_START ? 0 : movie.GetFrameCount() - 1);
}

MCIERROR Close(MCIDEVICEID id, DWORD flags) {
    if (!FindDevice(id)) return MCIERR_INVALID_DEVICE_ID;
    if (flags & ~kEveryCommand) return MCIERR_UNSUPPORTED_FUNCTION;
    std::unique_ptr<CMciMovie> movie = TakeDevice(id);
    if (!movie) return MCIERR_INVALID_DEVICE_ID;
    movie->Close();
    return 0;
}

struct ErrorText {
    MCIERROR code;
    UINT jpId;  // the English text follows at jpId + 1
};

constexpr ErrorText kErrorTexts[] = {
    {MCIERR_INVALID_DEVICE_ID, 50621},   {MCIERR_UNRECOGNIZED_COMMAND, 50623},
    {MCIERR_INVALID_DEVICE_NAME, 50625}, {MCIERR_OUT_OF_MEMORY, 50627},
    {MCIERR_MISSING_PARAMETER, 50629},   {MCIERR_UNSUPPORTED_FUNCTION, 50631},
    {MCIERR_FILE_NOT_FOUND, 50633},      {MCIERR_OUTOFRANGE, 50635},
    {MCIERR_FLAGS_NOT_COMPATIBLE, 50637}, {MCIERR_DEVICE_TYPE_REQUIRED, 50639},
    {MCIERR_INVALID_FILE, 50641},        {MCIERR_NULL_PARAMETER_BLOCK, 50643},
    {MCIERR_FILENAME_REQUIRED, 50645},
};
constexpr UINT kUnknownErrorText = 50647;

}  // namespace

MCIERROR mciSendCommand(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR params) {
    const DWORD f = DWORD(flags);
    if (message == MCI_OPEN) return Open(f, reinterpret_cast<MCI_DGV_OPEN_PARMSW*>(params));
    if (message == MCI_CLOSE) return Close(id, f);
    if (message != MCI_PLAY && message != MCI_STOP && message != MCI_SEEK) return MCIERR_UNRECOGNIZED_COMMAND;
    CMciMovie* movie = FindDevice(id);
    if (!movie) return MCIERR_INVALID_DEVICE_ID;
    if (message == MCI_PLAY) return Play(*movie, f, reinterpret_cast<const MCI_PLAY_PARMS*>(params));
    if (message == MCI_SEEK) return Seek(*movie, f);
    if (f & ~kEveryCommand) return MCIERR_UNSUPPORTED_FUNCTION;
    return movie->Stop();
}

BOOL mciGetErrorString(MCIERROR error, LPWSTR text, UINT chars) {
    if (!text || chars == 0) return FALSE;
    UINT id = kUnknownErrorText;
    for (const ErrorText& e : kErrorTexts)
        if (e.code == error) id = e.jpId;
    const std::wstring message = LoadLangString(id, id + 1);
    const size_t n = std::min<size_t>(message.size(), chars - 1);
    message.copy(text, n);
    text[n] = L'\0';
    return id == kUnknownErrorText ? FALSE : TRUE;
}
