#include "writers/EncAVISetting.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/IniCreate.h"
#include "foundation/RegUtil.h"
#include "platform/registry/Registry.h"

namespace {

std::wstring SettingsKey() { return L"Software\\" + ReadRegPos() + L"\\AviVideoSettings"; }

int AudioFormatBytes(const WAVEFORMATEX* f) {
    return std::min(static_cast<int>(f->cbSize) + 18, CEncAVISetting::kAudioBlockBytes);
}

// A block of at least 256 bytes holding the whole format with its extra bytes, so
// that whoever reads cbSize + 18 bytes from it stays inside it.
HGLOBAL CopyAudioFormat(const void* format) {
    WAVEFORMATEX wf;
    std::memcpy(&wf, format, sizeof wf);
    const size_t whole = sizeof wf + wf.cbSize;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT,
                                std::max(whole, static_cast<size_t>(CEncAVISetting::kAudioBlockBytes)));
    if (block) std::memcpy(GlobalLock(block), format, whole);
    return block;
}

// A setting without a state (the user went back to the compressor's defaults) must
// not find the old state again at the next start.
void DeleteStoredState(const std::wstring& key) {
    HKEY hkey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &hkey) != ERROR_SUCCESS) return;
    RegDeleteValueW(hkey, L"AviCodec");
    RegCloseKey(hkey);
}

// A stored audio format is used only when it holds a whole WAVEFORMATEX and the
// extra bytes it announces; anything else is dropped as damaged.
HGLOBAL LoadAudioFormat(const std::wstring& key) {
    int size = 0;
    HGLOBAL stored = RegReadBinary(HKEY_CURRENT_USER, key.c_str(), L"AudioCodec", &size);
    if (!stored) return nullptr;
    HGLOBAL block = nullptr;
    WAVEFORMATEX wf{};
    if (size >= static_cast<int>(sizeof wf)) {
        std::memcpy(&wf, GlobalLock(stored), sizeof wf);
        if (size >= static_cast<int>(wf.cbSize) + 18) block = CopyAudioFormat(GlobalLock(stored));
    }
    GlobalFree(stored);
    return block;
}

}  // namespace

CEncAVISetting::CEncAVISetting() {
    const std::wstring key = SettingsKey();
    m_handler = RegReadDword(HKEY_CURRENT_USER, key.c_str(), L"handler", kDefaultHandler);
    m_state = RegReadBinary(HKEY_CURRENT_USER, key.c_str(), L"AviCodec", &m_stateSize);
    if (!m_state) m_stateSize = 0;
    m_audioFormat = LoadAudioFormat(key);
}

CEncAVISetting::~CEncAVISetting() {
    const std::wstring key = SettingsKey();
    if (m_state) {
        // The size is set apart from the block: never more than the block holds.
        const size_t size = std::min(static_cast<size_t>(std::max(m_stateSize, 0)), GlobalSize(m_state));
        RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"AviCodec", static_cast<const BYTE*>(GlobalLock(m_state)),
                       static_cast<DWORD>(size));
        GlobalFree(m_state);
    } else {
        DeleteStoredState(key);
    }
    if (m_audioFormat) {
        const auto* wf = static_cast<const WAVEFORMATEX*>(GlobalLock(m_audioFormat));
        RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"AudioCodec", reinterpret_cast<const BYTE*>(wf),
                       static_cast<DWORD>(AudioFormatBytes(wf)));
        GlobalFree(m_audioFormat);
    }
    RegWriteDword(HKEY_CURRENT_USER, key.c_str(), L"handler", m_handler);
}

const WAVEFORMATEX* CEncAVISetting::GetAudioFormat() const {
    return m_audioFormat ? static_cast<const WAVEFORMATEX*>(GlobalLock(m_audioFormat)) : nullptr;
}

void CEncAVISetting::SetState(HGLOBAL state) {
    if (m_state && m_state != state) GlobalFree(m_state);
    m_state = state;
}

void CEncAVISetting::SetAudioFormat(const WAVEFORMATEX* format) {
    if (m_audioFormat) GlobalFree(m_audioFormat);
    m_audioFormat = format ? CopyAudioFormat(format) : nullptr;
}
