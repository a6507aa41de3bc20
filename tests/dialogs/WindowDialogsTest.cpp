// The clipping and resize window and the two information windows, against an owner
// that records what they send it.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/BmpInfo.h"
#include "dialogs/InfoAVIDlg.h"
#include "dialogs/ResizeDlg.h"
#include "foundation/RegUtil.h"
#include "platform/ui/UpDown.h"
#include "resources/CommandIds.h"
#include "tests/dialogs/DialogTestSupport.h"

using namespace dialogs_test;

namespace {

constexpr UINT kChange = ID_DISPLAY_REFRESH, kClose = ID_RESIZE_CLOSED;

class FakeOwner : public QWidget, public CWnd {
public:
    FakeOwner() {
        OnCommandRange(1, 0xFFFF, [this](UINT id) { sent.push_back(id); });
    }
    QWidget* GetWidget() override { return this; }
    size_t Count(UINT id) const { return static_cast<size_t>(std::count(sent.begin(), sent.end(), id)); }
    std::vector<UINT> sent;
};

class ResizeWindow : public DialogFixture {
protected:
    // A window over a 640 x 480 source whose output starts as the source.
    std::unique_ptr<CResizeDlg> Open() {
        output = {sizeof(BITMAPINFOHEADER), 640, 480, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        auto dlg = std::make_unique<CResizeDlg>(&owner, output, &output, &clip, kChange, kClose);
        EXPECT_TRUE(dlg->CreateModeless());
        return dlg;
    }
    void Type(CResizeDlg& dlg, UINT id, const char* text) { dlg.GetEdit(id)->setText(QString::fromUtf8(text)); }
    std::string Radios(CResizeDlg& dlg) {
        std::string s;
        for (const auto& p : CResizeDlg::kPresets) s += dlg.IsDlgButtonChecked(p.id) ? '1' : '0';
        return s;
    }
    void ExpectClip(LONG l, LONG t, LONG r, LONG b, LONG w, LONG h, int line) {
        EXPECT_EQ(clip.left, l) << "line " << line;
        EXPECT_EQ(clip.top, t) << "line " << line;
        EXPECT_EQ(clip.right, r) << "line " << line;
        EXPECT_EQ(clip.bottom, b) << "line " << line;
        EXPECT_EQ(output.biWidth, w) << "line " << line;
        EXPECT_EQ(output.biHeight, h) << "line " << line;
    }

    FakeOwner owner;
    BITMAPINFOHEADER output{};
    RECT clip{};
};

}  // namespace

TEST_F(ResizeWindow, EditsPresetsAndClearKeepTheClipInsideTheFrameAndTellTheOwner) {
    auto dlg = Open();
    ExpectClip(0, 0, 640, 480, 640, 480, __LINE__);
    EXPECT_EQ(Radios(*dlg), "10000000");
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_SUMMARY), L"Original 640 x 480\nClipSize 640 x 480");
    EXPECT_EQ(owner.Count(kChange), 1u);

    // A margin resets the output to the clipped size; a preset then scales that clip.
    Type(*dlg, CResizeDlg::IDC_TOP, "100");
    ExpectClip(0, 100, 640, 480, 640, 380, __LINE__);
    dlg->GetButton(42135)->click();
    ExpectClip(0, 100, 640, 480, 320, 240, __LINE__);
    EXPECT_EQ(Radios(*dlg), "00001000");
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_SUMMARY), L"Original 640 x 480\nClipSize 640 x 380");

    // Each margin stops one pixel short of the opposite edge; negative counts as 0.
    Type(*dlg, CResizeDlg::IDC_LEFT, "700");
    ExpectClip(639, 100, 640, 480, 1, 380, __LINE__);
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_LEFT), L"639");
    Type(*dlg, CResizeDlg::IDC_LEFT, "20");
    Type(*dlg, CResizeDlg::IDC_RIGHT, "1000");
    ExpectClip(20, 100, 21, 480, 1, 380, __LINE__);
    Type(*dlg, CResizeDlg::IDC_RIGHT, "30");
    Type(*dlg, CResizeDlg::IDC_BOTTOM, "480");
    ExpectClip(20, 100, 610, 101, 590, 1, __LINE__);
    Type(*dlg, CResizeDlg::IDC_BOTTOM, "-5");
    EXPECT_EQ(clip.bottom, 480);
    Type(*dlg, CResizeDlg::IDC_BOTTOM, "40");
    Type(*dlg, CResizeDlg::IDC_TOP, "50");
    ExpectClip(20, 50, 610, 440, 590, 390, __LINE__);

    // Width and height are independent and stay within 1..10000, however many digits.
    Type(*dlg, CResizeDlg::IDC_WIDTH, "12345678901");
    Type(*dlg, CResizeDlg::IDC_HEIGHT, "0");
    ExpectClip(20, 50, 610, 440, 10000, 1, __LINE__);
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_WIDTH), L"10000");
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_HEIGHT), L"1");
    Type(*dlg, CResizeDlg::IDC_WIDTH, "333");
    EXPECT_EQ(output.biWidth, 333);
    // An edit emptied to type a new number stays empty meanwhile.
    Type(*dlg, CResizeDlg::IDC_HEIGHT, "");
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_HEIGHT), L"");
    Type(*dlg, CResizeDlg::IDC_HEIGHT, "7");
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_HEIGHT), L"7");
    Type(*dlg, CResizeDlg::IDC_HEIGHT, "1");
    dlg->GetUpDown(CResizeDlg::IDC_SPIN_HEIGHT)->Step(1);
    EXPECT_EQ(output.biHeight, 2);

    dlg->GetButton(CResizeDlg::IDC_CLEAR)->click();
    ExpectClip(0, 0, 640, 480, 640, 480, __LINE__);
    EXPECT_EQ(dlg->GetDlgItemText(CResizeDlg::IDC_TOP), L"0");
    EXPECT_EQ(Radios(*dlg), "10000000");
    // Every change told the owner, and nothing else was sent.
    EXPECT_EQ(owner.Count(kChange), owner.sent.size());
    EXPECT_EQ(owner.sent.size(), 19u);
}

TEST_F(ResizeWindow, StoredValuesAreAppliedWithinTheFrameAndClosingStoresThem) {
    ProfileWriteInt(L"DATA", L"CLIP_LEFT", 5000);
    ProfileWriteInt(L"DATA", L"CLIP_RIGHT", -7);
    ProfileWriteInt(L"DATA", L"CLIP_TOP", -1);
    ProfileWriteInt(L"DATA", L"CLIP_BOTTOM", 2000000000);
    ProfileWriteInt(L"DATA", L"DST_WIDTH", -640);
    ProfileWriteInt(L"DATA", L"DST_HEIGHT", 99999);
    auto dlg = Open();
    ExpectClip(639, 0, 640, 1, 1, 10000, __LINE__);

    Type(*dlg, CResizeDlg::IDC_LEFT, "10");
    Type(*dlg, CResizeDlg::IDC_BOTTOM, "20");
    dlg->GetButton(42134)->click();  // 160x120
    owner.sent.clear();
    // The close box stores the values and asks the owner; the window stays until the owner acts.
    dlg->close();
    EXPECT_EQ(owner.sent, std::vector<UINT>{kClose});
    EXPECT_TRUE(dlg->isVisible());
    const struct {
        const wchar_t* key;
        int value;
    } stored[] = {{L"DST_WIDTH", 160}, {L"DST_HEIGHT", 120}, {L"CLIP_LEFT", 10},
                  {L"CLIP_RIGHT", 0},  {L"CLIP_TOP", 0},     {L"CLIP_BOTTOM", 20}};
    for (const auto& s : stored) EXPECT_EQ(static_cast<int>(ProfileGetInt(L"DATA", s.key, -99)), s.value) << s.key;

    // OK does the same; a second window starts from what was stored.
    Type(*dlg, CResizeDlg::IDC_TOP, "3");
    dlg->GetButton(IDOK)->click();
    EXPECT_EQ(owner.Count(kClose), 2u);
    dlg.reset();
    auto again = Open();
    ExpectClip(10, 3, 640, 460, 630, 457, __LINE__);
}

TEST_F(DialogFixture, InformationWindowsShowTheirLinesAndAskTheOwnerToCloseThem) {
    FakeOwner owner;
    owner.setGeometry(300, 200, 760, 675);
    CInfoAVIDlg info(&owner);
    ASSERT_TRUE(info.Create(nullptr));
    // A short array shows the lines it lacks empty; lines not shown are still kept.
    std::vector<std::wstring> lines(12, L"-");
    lines[0] = L"vids";
    lines[3] = L"30";
    lines[4] = L"25.000 fps";
    lines[9] = L"hidden";
    info.SetInfo(lines);
    EXPECT_EQ(info.GetDlgItemText(1070), L"vids");
    EXPECT_EQ(info.GetDlgItemText(1094), L"30");
    EXPECT_EQ(info.GetDlgItemText(1074), L"25.000 fps");
    EXPECT_EQ(info.GetDlgItemText(1068), L"-");
    EXPECT_EQ(info.GetDlgItemText(1056), L"");
    EXPECT_EQ(info.GetLines().size(), 20u);
    EXPECT_EQ(info.GetLines()[9], L"hidden");
    // Straddling the owner's right edge, at its top.
    EXPECT_EQ(info.x(), 300 + 760 - info.width() / 2);
    EXPECT_EQ(info.y(), 200);

    CBmpInfo bmp(&owner);
    ASSERT_TRUE(bmp.Create(nullptr));
    const BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), 64, 48, 1, 24, BI_RGB, 64 * 48 * 3, 0, 0, 0, 0};
    bmp.SetInfo(&header);
    std::wstring shown;
    for (UINT id = 1060; id < 1068; ++id) shown += bmp.GetDlgItemText(id) + L" ";
    EXPECT_EQ(shown, L"40 64 48 1 24 0 0 0 ");
    BITMAPINFOHEADER fourcc = header;
    fourcc.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
    fourcc.biClrUsed = 0xFFFFFFFF;
    bmp.SetInfo(&fourcc);
    EXPECT_EQ(bmp.GetDlgItemText(1065), std::to_wstring(static_cast<int32_t>(fourcc.biCompression)));
    EXPECT_EQ(bmp.GetDlgItemText(1066), L"-1");
    EXPECT_EQ(bmp.x(), 300 - bmp.width() / 2);

    // OK and the close box only ask; the windows stay for their owner to destroy.
    info.GetButton(IDOK)->click();
    info.close();
    bmp.close();
    EXPECT_EQ(owner.sent, (std::vector<UINT>{ID_FILE_INFO, ID_FILE_INFO, ID_BMP_INFO_CLOSED}));
    EXPECT_TRUE(info.isVisible());
    EXPECT_TRUE(bmp.isVisible());
}
