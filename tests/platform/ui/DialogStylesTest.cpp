// Template styles the builder honours, and custom controls put in a template
// control's place.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>

#include "platform/ui/Dialog.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/UpDown.h"

namespace {

constexpr UINT kTemplate = 9002;
enum : UINT {
    kNumber = 200, kSpin, kCentred, kOneLine, kTwoLines, kNoWrap, kSunken, kCombo, kRadio1, kRadio2
};

void RegisterStylesTemplate() {
    DialogTemplate t;
    t.id = kTemplate;
    t.caption = L"Styles";
    t.cx = 200;
    t.cy = 120;
    t.style = WS_MINIMIZEBOX;
    t.controls = {
        {kNumber, ControlKind::Edit, 10, 10, 40, 12, ES_NUMBER, L""},
        {kSpin, ControlKind::UpDown, 50, 10, 10, 12, UDS_AUTOBUDDY | UDS_SETBUDDYINT, L""},
        {kCentred, ControlKind::Edit, 70, 10, 40, 12, ES_CENTER, L""},
        {kOneLine, ControlKind::Static, 10, 30, 40, 8, 0, L"a label longer than its rectangle"},
        {kTwoLines, ControlKind::Static, 10, 40, 40, 24, 0, L"a label on two lines"},
        {kNoWrap, ControlKind::Static, 60, 40, 40, 24, SS_LEFTNOWORDWRAP, L"never wraps"},
        {kSunken, ControlKind::Static, 110, 40, 40, 12, SS_SUNKEN | SS_CENTER, L"7"},
        {kCombo, ControlKind::ComboBox, 10, 70, 80, 50, 0, L""},
        {kRadio1, ControlKind::RadioButton, 100, 70, 40, 10, WS_GROUP, L"One"},
        {kRadio2, ControlKind::RadioButton, 100, 82, 40, 10, 0, L"Two"},
    };
    RegisterDialogTemplate(t);
}

class StylesDialog : public CDialog {
public:
    StylesDialog() : CDialog(kTemplate, nullptr) {}
};

class OwnCombo : public QComboBox {
public:
    explicit OwnCombo(QWidget* parent) : QComboBox(parent) {}
};

class Styles : public testing::Test {
protected:
    void SetUp() override {
        RegisterStylesTemplate();
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
    }
    ScopedScriptedUi script;
    StylesDialog dlg;
};

}  // namespace

TEST_F(Styles, EditAndStaticStylesAndTheMinimiseBox) {
    QLineEdit* number = dlg.GetEdit(kNumber);
    ASSERT_NE(number->validator(), nullptr);
    QString typed = QStringLiteral("12a");
    int at = 0;
    EXPECT_EQ(number->validator()->validate(typed, at), QValidator::Invalid);
    EXPECT_EQ(dlg.GetEdit(kCentred)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    auto label = [&](UINT id) { return qobject_cast<QLabel*>(dlg.GetDlgItem(id)); };
    EXPECT_FALSE(label(kOneLine)->wordWrap());  // one line high: a wrap would be clipped
    EXPECT_TRUE(label(kTwoLines)->wordWrap());
    EXPECT_FALSE(label(kNoWrap)->wordWrap());
    EXPECT_EQ(label(kSunken)->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(label(kSunken)->frameShape(), QFrame::Panel);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(Styles, ReplacedControlKeepsItsPlaceIdAndNotifications) {
    QWidget* old = dlg.GetDlgItem(kCombo);
    const QRect geometry = old->geometry();
    dlg.EnableDlgItem(kCombo, FALSE);
    auto* combo = dlg.ReplaceDlgItemWith<OwnCombo>(kCombo);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(dlg.GetComboBox(kCombo), combo);
    EXPECT_EQ(dlg.GetDlgCtrlID(combo), kCombo);
    EXPECT_EQ(combo->geometry(), geometry);
    EXPECT_EQ(combo->parentWidget(), &dlg);
    EXPECT_FALSE(combo->isEnabled());
    int changes = 0;
    dlg.OnSelChange(kCombo, [&] { ++changes; });
    combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo->setCurrentIndex(1);
    EXPECT_GE(changes, 1);

    // A buddy edit and a radio button keep their partners.
    auto* edit = dlg.ReplaceDlgItemWith<QLineEdit>(kNumber);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(dlg.GetUpDown(kSpin)->GetBuddy(), edit);
    dlg.GetUpDown(kSpin)->SetPos(42);
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), L"42");
    auto* radio = dlg.ReplaceDlgItemWith<QRadioButton>(kRadio2);
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->text(), QStringLiteral("Two"));
    EXPECT_EQ(dlg.RadioGroupOf(kRadio1).size(), 2u);
    dlg.CheckDlgButton(kRadio1, 1);
    radio->click();
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadio1), 0);

    EXPECT_EQ(dlg.ReplaceDlgItemWith<QLineEdit>(999), nullptr);
}
