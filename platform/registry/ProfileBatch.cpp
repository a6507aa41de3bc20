#include "platform/registry/ProfileBatch.h"

#include "platform/registry/Profile.h"

using talvern::settings::RegistryData;
using talvern::settings::RegistryStore;

BOOL WriteProfileValues(LPCWSTR section, const ProfileValues& values) {
    if (!section) return FALSE;
    const std::wstring key = L"HKEY_CURRENT_USER\\" + GetProfileSectionKey(section);
    return RegistryStore().Update([&](RegistryData& d) {
        for (const auto& [entry, value] : values) d.Set(key, entry, value);
        return true;
    })
               ? TRUE
               : FALSE;
}
