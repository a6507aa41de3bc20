#include "dialogs/InfoAVIDlg.h"

#include "dialogs/WindowResources.h"
#include "foundation/LangString.h"

namespace {

// Line shown, its value control, its label control and the label's string pair.
struct Row {
    int line;
    UINT value;
    UINT label;
    UINT ja;
};
constexpr Row kRows[] = {
    {0, 1070, 1043, 10023}, {1, 1050, 1044, 10025}, {2, 1051, 1025, 10027}, {4, 1074, 1058, 10029},
    {3, 1094, 1031, 10031}, {5, 1075, 1054, 10033}, {6, 1076, 1055, 10035}, {12, 1056, 1060, 10039},
    {10, 1072, 1035, 10041}, {11, 1068, 1061, 10043},
};
constexpr UINT kVideoHeading = 1069, kAudioHeading = 1048;

}  // namespace

CInfoAVIDlg::CInfoAVIDlg(CWnd* owner) : CInfoAVIDlg(IDD, owner, kCloseId) {}

CInfoAVIDlg::CInfoAVIDlg(UINT templateId, CWnd* owner, UINT closeId)
    : CBaseDialog(WindowDialogTemplate(templateId), nullptr),
      m_lines(kLineCount),
      m_pInfoOwner(owner),
      m_nCloseId(closeId) {
    // It belongs to its owner: left open, it must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
}

BOOL CInfoAVIDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    SetLabels();
    PlaceBesideOwner();
    return TRUE;
}

void CInfoAVIDlg::SetLabels() {
    setWindowTitle(QString::fromStdWString(LoadLangStringPair(10045, 10046)));
    SetItemTextFit(kVideoHeading, LoadLangStringPair(10021, 10022), FALSE);
    SetItemTextFit(kAudioHeading, LoadLangStringPair(10037, 10038), FALSE);
    for (const Row& row : kRows) SetItemTextFit(row.label, LoadLangStringPair(row.ja, row.ja + 1), FALSE);
}

void CInfoAVIDlg::PlaceBesideOwner() {
    if (!m_pInfoOwner) return;
    const QWidget* top = m_pInfoOwner->GetTopLevel();
    if (!top) return;
    const QRect owner = top->frameGeometry();
    move(PlaceX(owner, width()), owner.y());
}

void CInfoAVIDlg::OnClose() {
    if (m_pInfoOwner) SendCommand(*m_pInfoOwner, m_nCloseId);
}

void CInfoAVIDlg::SetInfo(const std::vector<std::wstring>& lines) {
    for (size_t i = 0; i < m_lines.size(); ++i) m_lines[i] = i < lines.size() ? lines[i] : std::wstring();
    ShowInfo();
}

void CInfoAVIDlg::ShowInfo() {
    for (const Row& row : kRows) SetDlgItemText(row.value, m_lines[static_cast<size_t>(row.line)]);
}
