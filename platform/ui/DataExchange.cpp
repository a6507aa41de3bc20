#include "platform/ui/DataExchange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QWidget>
#include <cwctype>
#include <limits>

#include "platform/ui/Dialog.h"
#include "foundation/LangString.h"
#include "platform/ui/UiServices.h"

namespace {

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Digits only, accumulated with an overflow check against limit.
bool ParseDigits(const std::wstring& s, size_t from, unsigned long long limit, unsigned long long& out) {
    if (from >= s.size()) return false;
    unsigned long long v = 0;
    for (size_t i = from; i < s.size(); ++i) {
        if (s[i] < L'0' || s[i] > L'9') return false;
        v = v * 10 + static_cast<unsigned>(s[i] - L'0');
        if (v > limit) return false;
    }
    out = v;
    return true;
}

std::wstring Format(const wchar_t* pattern, long long a, long long b) {
    std::wstring text(pattern);
    for (long long v : {a, b}) {
        const size_t at = text.find(L"%d");
        if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(v));
    }
    return text;
}

std::wstring MsgInteger() {
    return IsJapaneseSystem() ? L"整数を入力してください。" : L"Please enter an integer.";
}
std::wstring MsgUnsigned() {
    return IsJapaneseSystem() ? L"正の整数を入力してください。" : L"Please enter a positive integer.";
}
std::wstring MsgRange(long long lo, long long hi) {
    return Format(IsJapaneseSystem() ? L"%d から %d までの整数を入力してください。"
                                     : L"Please enter an integer between %d and %d.",
                  lo, hi);
}

}  // namespace

bool ParseDialogInt(const std::wstring& text, int& out) {
    const std::wstring s = Trim(text);
    const bool negative = !s.empty() && s[0] == L'-';
    const size_t from = (!s.empty() && (s[0] == L'-' || s[0] == L'+')) ? 1 : 0;
    const unsigned long long limit =
        negative ? 1ULL + std::numeric_limits<int>::max() : std::numeric_limits<int>::max();
    unsigned long long v = 0;
    if (!ParseDigits(s, from, limit, v)) return false;
    out = negative ? static_cast<int>(-static_cast<long long>(v)) : static_cast<int>(v);
    return true;
}

bool ParseDialogUInt(const std::wstring& text, unsigned int& out) {
    const std::wstring s = Trim(text);
    const size_t from = (!s.empty() && s[0] == L'+') ? 1 : 0;
    unsigned long long v = 0;
    if (!ParseDigits(s, from, std::numeric_limits<unsigned int>::max(), v)) return false;
    out = static_cast<unsigned int>(v);
    return true;
}

void CDataExchange::Fail(UINT id, const std::wstring& message) {
    if (m_bFailed) return;
    m_bFailed = true;
    ShowMessageBox(m_pDlgWnd, message, std::wstring(), MB_OK | MB_ICONEXCLAMATION);
    if (QWidget* w = m_pDlgWnd->GetDlgItem(id)) w->setFocus();
}

void DDX_Text(CDataExchange* pDX, UINT id, int& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_wstring(value));
        return;
    }
    int v = 0;
    if (!ParseDialogInt(pDX->m_pDlgWnd->GetDlgItemText(id), v)) return pDX->Fail(id, MsgInteger());
    value = v;
}

void DDX_Text(CDataExchange* pDX, UINT id, unsigned int& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_wstring(value));
        return;
    }
    unsigned int v = 0;
    if (!ParseDialogUInt(pDX->m_pDlgWnd->GetDlgItemText(id), v)) return pDX->Fail(id, MsgUnsigned());
    value = v;
}

void DDX_Text(CDataExchange* pDX, UINT id, std::wstring& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    if (pDX->m_bSaveAndValidate) value = pDX->m_pDlgWnd->GetDlgItemText(id);
    else pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Check(CDataExchange* pDX, UINT id, int& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    if (pDX->m_bSaveAndValidate) value = pDX->m_pDlgWnd->IsDlgButtonChecked(id);
    else pDX->m_pDlgWnd->CheckDlgButton(id, value);
}

void DDX_Radio(CDataExchange* pDX, UINT id, int& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    const std::vector<QAbstractButton*> group = pDX->m_pDlgWnd->RadioGroupOf(id);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->isChecked()) value = static_cast<int>(i);
        return;
    }
    for (size_t i = 0; i < group.size(); ++i)
        pDX->m_pDlgWnd->CheckDlgButton(pDX->m_pDlgWnd->GetDlgCtrlID(group[i]),
                                       static_cast<int>(i) == value ? 1 : 0);
}

void DDX_CBIndex(CDataExchange* pDX, UINT id, int& value) {
    if (!pDX->Active()) return;
    pDX->m_idLastControl = id;
    QComboBox* combo = pDX->m_pDlgWnd->GetComboBox(id);
    if (!combo) return;
    if (pDX->m_bSaveAndValidate) value = combo->currentIndex();
    else combo->setCurrentIndex(value);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->Active() || !pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal) pDX->Fail(pDX->m_idLastControl, MsgRange(minVal, maxVal));
}

void DDV_MinMaxUInt(CDataExchange* pDX, unsigned int value, unsigned int minVal, unsigned int maxVal) {
    if (!pDX->Active() || !pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal) pDX->Fail(pDX->m_idLastControl, MsgRange(minVal, maxVal));
}
