#include "platform/win32/Resource.h"

#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

struct Entry {
    const void* data;
    DWORD size;
};

// Type names compare without regard to letter case, as resource names do.
std::wstring TypeKey(const wchar_t* type) {
    std::wstring key = type ? type : L"";
    for (auto& c : key) c = static_cast<wchar_t>(std::towupper(c));
    return key;
}

std::map<std::pair<UINT, std::wstring>, Entry>& Table() {
    static std::map<std::pair<UINT, std::wstring>, Entry> table;
    return table;
}

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void RegisterResource(UINT id, const wchar_t* type, const void* data, DWORD size) {
    std::lock_guard<std::mutex> hold(TableLock());
    Table()[{id, TypeKey(type)}] = {data, size};
}

const void* FindResourceData(UINT id, const wchar_t* type, DWORD* size) {
    std::lock_guard<std::mutex> hold(TableLock());
    const auto it = Table().find({id, TypeKey(type)});
    if (it == Table().end()) return nullptr;
    if (size) *size = it->second.size;
    return it->second.data;
}
