// The overwrite policy on real files and the still-image chooser's remembered filter.
#include "app/Info.h"
#include "dialogs/Launchers.h"
#include "foundation/RegUtil.h"
#include "tests/dialogs/DialogTestSupport.h"

using namespace dialogs_test;
using talvern::test::ReadFileBytes;
using talvern::test::WriteFileBytes;

namespace {

class Launchers : public DialogFixture {
protected:
    std::wstring Path(const char* name) const { return (dir / name).wstring(); }
    FileDialogRequest Answer(const std::wstring& path, int index = 1) const {
        FileDialogRequest r;
        r.path = path;
        r.filterIndex = index;
        return r;
    }
    CInfo info;
};

}  // namespace

TEST_F(Launchers, OverwritePolicyOnRealFiles) {
    ASSERT_TRUE(WriteFileBytes(dir / "A.avi", "first"));
    ASSERT_TRUE(WriteFileBytes(dir / "A(2).avi", "second"));

    info.m_nOverwrite = 0;  // overwrite: the name stays
    std::wstring path = Path("A.avi");
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter), 0);
    EXPECT_EQ(path, Path("A.avi"));

    info.m_nOverwrite = 1;  // the first free numbered name
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter), 0);
    EXPECT_EQ(path, Path("A(3).avi"));

    info.m_nOverwrite = 2;  // ask, but only about a file that exists
    path = Path("new.avi");
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter), 0);
    EXPECT_EQ(path, Path("new.avi"));
    EXPECT_TRUE(script.ui.fileRequests.empty());

    path = Path("A.avi");
    script.ui.fileAnswers = {std::nullopt};
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter), DialogCancelled);
    EXPECT_EQ(path, Path("A.avi"));
    EXPECT_EQ(ReadFileBytes(dir / "A.avi"), "first");
    ASSERT_EQ(script.ui.fileRequests.size(), 1u);
    const FileDialogRequest& asked = script.ui.fileRequests[0];
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.path, Path("A.avi"));
    EXPECT_EQ(asked.filter, kAviFilter);
    EXPECT_TRUE(asked.defaultExt.empty());
    EXPECT_EQ(asked.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);

    script.ui.fileAnswers = {Answer(Path("B.avi"))};
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter), 0);
    EXPECT_EQ(path, Path("B.avi"));
}

TEST_F(Launchers, NoSaveDialogTakesTheOpenMovie) {
    ASSERT_TRUE(WriteFileBytes(dir / "movie.avi", "movie"));
    ASSERT_TRUE(WriteFileBytes(dir / "Enc_movie.avi", "old output"));
    info.m_nOverwrite = 2;
    std::wstring path = Path("Enc_movie.avi");
    // The movie by another spelling of its path is refused too; then a good name.
    script.ui.fileAnswers = {Answer((dir / "." / "movie.avi").wstring()), Answer(Path("other.avi"))};
    EXPECT_EQ(ApplyOverwritePolicy(&info, path, kAviFilter, Path("movie.avi")), 0);
    EXPECT_EQ(path, Path("other.avi"));
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_NE(script.ui.messageBoxes[0].text.find(L"The open movie cannot be the output"), std::wstring::npos);
    EXPECT_EQ(ReadFileBytes(dir / "movie.avi"), "movie");

    std::wstring image = Path("shot.jpg");
    script.ui.fileAnswers = {Answer(Path("movie.avi")), std::nullopt};
    EXPECT_EQ(BrowseImageSaveFile(image, Path("movie.avi")), kImageFileCancelled);
    EXPECT_EQ(image, Path("shot.jpg"));
    EXPECT_EQ(script.ui.messageBoxes.size(), 2u);
}

TEST_F(Launchers, ImageChooserOpensOnTheFilterChosenLastTime) {
    std::wstring path = Path("frame.jpg");
    script.ui.fileAnswers = {Answer(Path("frame.tif"), 3)};
    EXPECT_EQ(BrowseImageSaveFile(path), kImageFileChosen);
    EXPECT_EQ(path, Path("frame.tif"));
    ASSERT_EQ(script.ui.fileRequests.size(), 1u);
    EXPECT_EQ(script.ui.fileRequests[0].filterIndex, 1);  // JPG the first time
    EXPECT_EQ(script.ui.fileRequests[0].defaultExt, L"jpg");
    EXPECT_EQ(script.ui.fileRequests[0].filter,
              L"JPG (*.JPG)|*.JPG; *.JPEG|BMP (*.BMP)|*.BMP|TIF (*.TIF)|*.TIF; *.TIFF|PNG (*.PNG)|*.PNG|");
    EXPECT_EQ(ProfileGetInt(L"data", L"Index", 1), 3u);

    script.ui.fileAnswers = {std::nullopt};
    path = Path("again.jpg");
    EXPECT_EQ(BrowseImageSaveFile(path), kImageFileCancelled);
    EXPECT_EQ(path, Path("again.jpg"));
    EXPECT_EQ(script.ui.fileRequests[1].filterIndex, 3);
    EXPECT_EQ(ProfileGetInt(L"data", L"Index", 1), 3u);
}
