#include "toolkit/BaseColorDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "platform/ui/DC.h"

CBaseColorDialog::CBaseColorDialog(UINT nIDTemplate, CWnd* pParent, COLORREF crBack, COLORREF crText,
                                   BOOL bSysMenuItems, BOOL bChild)
    : CBaseDialog(nIDTemplate, pParent, bSysMenuItems, bChild), m_crText(crText), m_crBack(crBack) {}

BOOL CBaseColorDialog::OnInitDialog() {
    const BOOL result = CBaseDialog::OnInitDialog();
    QPalette back = palette();
    back.setColor(QPalette::Window, ToQColor(m_crBack));
    setPalette(back);
    setAutoFillBackground(true);
    for (QWidget* w : findChildren<QWidget*>()) {
        const bool isStatic = qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w) ||
                              qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
        if (!isStatic) continue;
        QPalette text = w->palette();
        text.setColor(QPalette::WindowText, ToQColor(m_crText));
        text.setColor(QPalette::ButtonText, ToQColor(m_crText));
        text.setColor(QPalette::Window, ToQColor(m_crBack));
        w->setPalette(text);
        w->setAutoFillBackground(false);
    }
    return result;
}
