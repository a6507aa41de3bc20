#include "dialogs/BmpInfo.h"

#include <cstdint>

#include "foundation/LangString.h"

namespace {

// Label control and string pair of each line that has one (the others keep the
// template's text).
struct Label {
    UINT control;
    UINT ja;
};
constexpr Label kLabels[] = {{1053, 10001}, {1054, 10003}, {1055, 10005}, {1059, 10007}, {1068, 10009}};

std::wstring Signed(int64_t v) { return std::to_wstring(static_cast<int32_t>(v)); }

}  // namespace

CBmpInfo::CBmpInfo(CWnd* owner) : CInfoAVIDlg(IDD, owner, kCloseId) {}

void CBmpInfo::SetLabels() {
    setWindowTitle(QString::fromStdWString(LoadLangStringPair(10011, 10012)));
    for (const Label& l : kLabels) SetItemTextFit(l.control, LoadLangStringPair(l.ja, l.ja + 1), FALSE);
}

void CBmpInfo::SetInfo(const BITMAPINFOHEADER* header) {
    for (std::wstring& line : m_lines) line.clear();
    if (header) {
        // Every field as a signed 32-bit number: BI_RGB shows 0, a four-character code a number.
        const int64_t fields[kFieldCount] = {header->biSize,     header->biWidth,       header->biHeight,
                                             header->biPlanes,   header->biBitCount,    header->biCompression,
                                             header->biClrUsed,  header->biClrImportant};
        for (int i = 0; i < kFieldCount; ++i) m_lines[static_cast<size_t>(i)] = Signed(fields[i]);
    }
    ShowInfo();
}

void CBmpInfo::ShowInfo() {
    for (int i = 0; i < kFieldCount; ++i) SetDlgItemText(kFirstValue + static_cast<UINT>(i), m_lines[static_cast<size_t>(i)]);
}
