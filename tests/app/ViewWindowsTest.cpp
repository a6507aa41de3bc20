// The view's information and clipping windows over a real document: what opens and
// closes them, what they show, and the update rules of their commands.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>

#include "app/TALVERNView.h"
#include "platform/ui/Command.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;

namespace {

constexpr UINT kClipResize = ID_CLIP_RESIZE, kFileInfo = ID_FILE_INFO, kBmpInfo = ID_BMP_INFO;

class ViewWindows : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    void SetUp() override {
        doc.SetView(&view);
        view.SetDocument(&doc);
        view.resize(760, 600);
    }
    void Open(int frames) {
        MovieDesc desc;
        desc.frames = frames;
        const auto path = dir / ("movie" + std::to_string(frames) + ".avi");
        std::string log;
        ASSERT_TRUE(MakeTestMovie(desc, path, &log)) << log;
        ASSERT_TRUE(doc.OnOpenDocument(path.wstring()));
    }
    // Enabled and ticked, as "10" for enabled and not ticked.
    std::string State(UINT id) {
        const CCmdUI ui = QueryCommand(view, id);
        return std::string(1, ui.m_bEnabled ? '1' : '0') + std::to_string(ui.m_nCheck);
    }

    TempDir dir;
    ScopedConfigDir config;
    ScopedScriptedUi script;
    CTALVERNDoc doc;
    CTALVERNView view;
};

}  // namespace

TEST_F(ViewWindows, InformationWindowsShowTheMovieAndCloseByCommandCloseBoxAndMovie) {
    EXPECT_EQ(State(kFileInfo) + State(kBmpInfo), "0000");
    Open(10);
    ASSERT_TRUE(DispatchCommand(view, kFileInfo));
    ASSERT_TRUE(DispatchCommand(view, kBmpInfo));
    CInfoAVIDlg* info = view.GetMovieInfoWindow();
    CBmpInfo* bmp = view.GetFrameHeaderWindow();
    ASSERT_TRUE(info && bmp);
    EXPECT_EQ(State(kFileInfo) + State(kBmpInfo), "1111");
    // A movie without audio: its audio lines are whatever the document holds there.
    EXPECT_EQ(info->GetDlgItemText(1094), L"10");
    EXPECT_EQ(info->GetDlgItemText(1075), L"64 pixl");
    for (UINT id : {1072u, 1068u, 1056u}) EXPECT_EQ(info->GetDlgItemText(id), doc.m_InfoLines[10]) << id;
    EXPECT_EQ(bmp->GetDlgItemText(1062), L"48");

    // The frame header window's close box: released by the view, deleted once the handler returned.
    QPointer<QWidget> gone(bmp);
    bmp->close();
    EXPECT_EQ(view.GetFrameHeaderWindow(), nullptr);
    EXPECT_FALSE(gone.isNull());
    QCoreApplication::processEvents();
    EXPECT_TRUE(gone.isNull());

    // Another movie refreshes the information window; closing the movie keeps it,
    // and its command still closes it without a movie.
    DispatchCommand(view, kBmpInfo);
    Open(20);
    EXPECT_EQ(view.GetMovieInfoWindow(), info);
    EXPECT_EQ(info->GetDlgItemText(1094), L"20");
    EXPECT_EQ(view.GetFrameHeaderWindow(), nullptr);
    view.CloseMovie();
    EXPECT_EQ(State(kFileInfo) + State(kBmpInfo), "1100");
    // A file no reader takes leaves no line of the last movie in it.
    const auto junk = dir / "junk.avi";
    ASSERT_TRUE(WriteFileBytes(junk, std::string(4096, 'x')));
    EXPECT_FALSE(doc.OnOpenDocument(junk.wstring()));
    EXPECT_EQ(view.GetMovieInfoWindow(), info);
    EXPECT_NE(info->GetDlgItemText(1094), L"20");
    gone = info;
    ASSERT_TRUE(DispatchCommand(view, kFileInfo));
    EXPECT_EQ(view.GetMovieInfoWindow(), nullptr);
    EXPECT_EQ(State(kFileInfo), "00");
    QCoreApplication::processEvents();
    EXPECT_TRUE(gone.isNull());
}

TEST_F(ViewWindows, ClipResizeEditsTheOutputLiveAndIsLockedDuringAnOutputRun) {
    EXPECT_EQ(State(kClipResize), "00");
    Open(10);
    EXPECT_EQ(State(kClipResize), "10");
    ASSERT_TRUE(DispatchCommand(view, kClipResize));
    CResizeDlg* dlg = view.GetClipResizeWindow();
    ASSERT_NE(dlg, nullptr);
    dlg->GetEdit(CResizeDlg::IDC_TOP)->setText(QStringLiteral("10"));
    dlg->GetEdit(CResizeDlg::IDC_WIDTH)->setText(QStringLiteral("33"));
    const BITMAPINFOHEADER& out = doc.m_OutputHeader;
    EXPECT_EQ(out.biWidth, 33);
    EXPECT_EQ(out.biHeight, 38);
    EXPECT_EQ(out.biSizeImage, static_cast<DWORD>(DibRowBytes(33, 24) * 38));
    EXPECT_EQ(doc.m_ClipRect.top, 10);
    EXPECT_EQ(State(kClipResize), "11");

    // A run with an output switch on holds the clip and the size, paused or not.
    doc.m_bOutputJpg = TRUE;
    for (PlayState s : {PlayState::Playing, PlayState::Paused}) {
        doc.m_nPlayState = s;
        EXPECT_EQ(State(kClipResize), "01");
    }
    doc.m_bOutputJpg = FALSE;
    EXPECT_EQ(State(kClipResize), "11");
    doc.m_nPlayState = PlayState::Stopped;

    // OK closes it through the view; so does closing the movie.
    QPointer<QWidget> gone(dlg);
    dlg->GetButton(IDOK)->click();
    EXPECT_EQ(view.GetClipResizeWindow(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(gone.isNull());
    DispatchCommand(view, kClipResize);
    view.CloseMovie();
    EXPECT_EQ(view.GetClipResizeWindow(), nullptr);
}
