// The WMV settings dialog: its lists against the writer's profile tables, what the
// version enables, a dropped or browsed profile file, and a record that only OK
// changes.
#include <QCoreApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <string_view>

#include "dialogs/Launchers.h"
#include "dialogs/WMVSet.h"
#include "platform/wmf/WmProfile.h"
#include "tests/dialogs/DialogTestSupport.h"
#include "toolkit/ComboBoxImgEx.h"

using namespace dialogs_test;

namespace {

// A machine whose profile manager has no profiles of format version 4.0.
class CWMVSetWithoutV4 : public CWMVSet {
public:
    using CWMVSet::CWMVSet;

protected:
    int SystemProfileCount(DWORD version) const override {
        return version == WMT_VER_4_0 ? 0 : CWMVSet::SystemProfileCount(version);
    }
};

template <class Dialog = CWMVSet>
std::unique_ptr<Dialog> Open(const CInfo& from) {
    auto dlg = std::make_unique<Dialog>(nullptr);
    dlg->m_info = from;
    EXPECT_TRUE(dlg->CreateModeless(nullptr));
    return dlg;
}

std::wstring Selected(const CWMVSet& dlg, UINT list) { return dlg.GetComboBox(list)->currentText().toStdWString(); }

bool SameRecord(const CInfo& a, const CInfo& b) {
    return a.m_nWmvKind == b.m_nWmvKind && a.m_nWmv4Profile == b.m_nWmv4Profile && a.m_nWmv7Profile == b.m_nWmv7Profile &&
           a.m_nWmv8Profile == b.m_nWmv8Profile && a.m_nTwoPass == b.m_nTwoPass && a.m_strProfileFile == b.m_strProfileFile;
}

// Files dropped on the dialog arrive as the window system hands them over.
class CWMVSetDropTarget : public CWMVSet {
public:
    using CWMVSet::CWMVSet;
    using CWMVSet::dropEvent;
};

class WMVSetTest : public DialogFixture {};

}  // namespace

TEST_F(WMVSetTest, FirstUseShowsTheDefaultProfilesWithOnlyVersion7Enabled) {
    CInfo info(0);
    auto dlg = Open(info);
    auto* version = dynamic_cast<CComboBoxImgEx*>(dlg->GetDlgItem(CWMVSet::IDC_VERSION));
    ASSERT_NE(version, nullptr);
    ASSERT_EQ(version->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(version->GetItemImage(i), i);
        EXPECT_FALSE(version->itemIcon(i).isNull()) << "icon of item " << i;
    }
    EXPECT_EQ(version->currentText(), QStringLiteral("V7"));
    EXPECT_EQ(Selected(*dlg, CWMVSet::IDC_LIST7), L"17. 640x480 (1M)");
    EXPECT_EQ(Selected(*dlg, CWMVSet::IDC_LIST8), L"14. 320x240 (700K)");
    EXPECT_EQ(Selected(*dlg, CWMVSet::IDC_LIST4), L"12. 320x240 (1M)");
    for (UINT id : {CWMVSet::IDC_LIST7, CWMVSet::IDC_LABEL7}) EXPECT_TRUE(dlg->GetDlgItem(id)->isEnabled()) << id;
    for (UINT id : {CWMVSet::IDC_LIST4, CWMVSet::IDC_LIST8, CWMVSet::IDC_BROWSE, CWMVSet::IDC_PRX_PATH,
                    CWMVSet::IDC_TWOPASS})
        EXPECT_FALSE(dlg->GetDlgItem(id)->isEnabled()) << id;
    version->setCurrentIndex(CWMVSet::kPrx);
    EXPECT_TRUE(dlg->GetDlgItem(CWMVSet::IDC_TWOPASS)->isEnabled());
    EXPECT_FALSE(dlg->GetDlgItem(CWMVSet::IDC_LIST7)->isEnabled());
}

TEST_F(WMVSetTest, EveryListItemNamesTheWritersProfileOfItsNumber) {
    CInfo info(0);
    auto dlg = Open(info);
    const struct {
        UINT list;
        DWORD version;
        int items;
    } lists[] = {{CWMVSet::IDC_LIST4, WMT_VER_4_0, 13}, {CWMVSet::IDC_LIST7, WMT_VER_7_0, 18},
                 {CWMVSet::IDC_LIST8, WMT_VER_8_0, 20}};
    for (const auto& l : lists) {
        DWORD count = 0;
        const WmSystemProfileEntry* table = WmSystemProfiles(l.version, &count);
        const QComboBox* list = dlg->GetComboBox(l.list);
        ASSERT_EQ(list->count(), l.items);
        for (int i = 0; i < list->count(); ++i) {
            const int profile = list->itemData(i).toInt();
            ASSERT_TRUE(profile >= 1 && static_cast<DWORD>(profile) <= count) << profile;
            // "NN. 320x240 (3M)": the table's name ends with the frame size and rate.
            const std::string text = list->itemText(i).mid(4).toStdString();
            const std::string_view name = table[profile - 1].name;
            EXPECT_TRUE(name.ends_with(text)) << name << " for " << text;
        }
    }
}

TEST_F(WMVSetTest, AVersionWithoutProfilesIsShownAsV7AndTheRecordKeptUntilOk) {
    CInfo info(0);
    info.m_nWmvKind = 0;
    CInfo before(0);
    before = info;
    auto dlg = Open<CWMVSetWithoutV4>(info);
    EXPECT_EQ(dlg->GetComboBox(CWMVSet::IDC_VERSION)->currentIndex(), CWMVSet::kV7);
    EXPECT_EQ(dlg->GetComboBox(CWMVSet::IDC_LIST4)->count(), 0);
    EXPECT_TRUE(SameRecord(dlg->m_info, before)) << "what the dialog shows is not yet the record";
    dlg->OnOK();
    EXPECT_EQ(dlg->m_info.m_nWmvKind, CWMVSet::kV7);
    EXPECT_EQ(dlg->m_info.m_nWmv4Profile, -1) << "an empty list stores -1";
    EXPECT_EQ(dlg->m_info.m_nWmv7Profile, 13);
}

TEST_F(WMVSetTest, ADroppedOrBrowsedFileBecomesTheProfileFile) {
    CInfo info(0);
    auto dlg = Open<CWMVSetDropTarget>(info);
    const QString dropped = QString::fromStdString((dir.path() / "fast.prx").string());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dlg->dropEvent(&drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->GetDlgItemText(CWMVSet::IDC_PRX_PATH), dropped.toStdWString()) << "with V7 selected";
    dlg->CheckDlgButton(CWMVSet::IDC_TWOPASS, 1);
    dlg->OnOK();
    EXPECT_EQ(dlg->m_info.m_strProfileFile, dropped.toStdWString());
    EXPECT_EQ(dlg->m_info.m_nWmvKind, CWMVSet::kV7);
    EXPECT_EQ(dlg->m_info.m_nTwoPass, 1);

    FileDialogRequest chosen;
    chosen.path = L"/profiles/two pass.prx";
    script.ui.fileAnswers.push_back(chosen);
    dlg->OnBrowsePrx();
    ASSERT_EQ(script.ui.fileRequests.size(), 1u);
    EXPECT_FALSE(script.ui.fileRequests[0].save);
    EXPECT_EQ(script.ui.fileRequests[0].filter, L"PRX (*.PRX)|*.PRX|");
    EXPECT_EQ(script.ui.fileRequests[0].path, dropped.toStdWString());
    EXPECT_EQ(dlg->GetDlgItemText(CWMVSet::IDC_PRX_PATH), L"/profiles/two pass.prx");
    dlg->OnBrowsePrx();  // cancelled
    EXPECT_EQ(dlg->GetDlgItemText(CWMVSet::IDC_PRX_PATH), L"/profiles/two pass.prx");
}

TEST_F(WMVSetTest, ACancelledDialogLeavesTheRecordExactlyAsItWas) {
    CInfo info(0);
    info.m_nWmvKind = 7;         // shown as V7
    info.m_nWmv7Profile = 99;    // no item has it: the default item is shown
    info.m_strProfileFile = L"/kept.prx";
    CInfo before(0);
    before = info;
    WhenShown<CWMVSet>([](CWMVSet& dlg) {
        EXPECT_EQ(dlg.GetComboBox(CWMVSet::IDC_VERSION)->currentIndex(), CWMVSet::kV7);
        dlg.GetComboBox(CWMVSet::IDC_VERSION)->setCurrentIndex(CWMVSet::kPrx);
        dlg.CheckDlgButton(CWMVSet::IDC_TWOPASS, 1);
        dlg.OnDropFile(L"/other.prx");
        dlg.close();
    });
    EXPECT_EQ(DoWmvSettingDialog(&info, nullptr), DialogCancelled);
    EXPECT_TRUE(SameRecord(info, before));

    WhenShown<CWMVSet>([](CWMVSet& dlg) { dlg.OnOK(); });
    EXPECT_EQ(DoWmvSettingDialog(&info, nullptr), 0);
    EXPECT_EQ(info.m_nWmvKind, CWMVSet::kV7);
    EXPECT_EQ(info.m_nWmv7Profile, 14) << "the item shown, \"18. 640x480 (2M)\"";
}
