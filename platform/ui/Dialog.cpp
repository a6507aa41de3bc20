#include "platform/ui/Dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <algorithm>
#include <mutex>

#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Icons.h"
#include "foundation/LangString.h"
#include "platform/ui/UpDown.h"

namespace {
std::map<UINT, DialogTemplate>& Templates() {
    static std::map<UINT, DialogTemplate> templates;
    return templates;
}

std::wstring TextOf(const std::wstring& own, UINT ja, UINT en) {
    if (ja == 0 && en == 0) return own;
    return LoadLangString(ja, en);
}

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

Qt::Alignment StaticAlignment(DWORD style) {
    if ((style & SS_LEFTNOWORDWRAP) == SS_LEFTNOWORDWRAP) return Qt::AlignLeft | Qt::AlignTop;
    if (style & SS_CENTER) return Qt::AlignHCenter | Qt::AlignTop;
    if (style & SS_RIGHT) return Qt::AlignRight | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* MakeWidget(const DialogControl& c, const DialogUnits& units, QWidget* parent) {
    const QString text = Q(TextOf(c.text, c.textJa, c.textEn));
    switch (c.kind) {
        case ControlKind::Static: {
            auto* l = new QLabel(text, parent);
            l->setAlignment(StaticAlignment(c.style));
            // A label wraps only where its rectangle has room for a second line; a
            // one-line label that wrapped would lose its second line to the clip.
            const bool noWrap = (c.style & SS_LEFTNOWORDWRAP) == SS_LEFTNOWORDWRAP;
            l->setWordWrap(!noWrap && units.ToPixelsY(c.cy) >= 2 * QFontMetrics(parent->font()).height());
            if (c.style & SS_SUNKEN) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return l;
        }
        case ControlKind::GroupBox: return new QGroupBox(text, parent);
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* b = new QPushButton(text, parent);
            b->setAutoDefault(false);
            return b;
        }
        case ControlKind::CheckBox: return new QCheckBox(text, parent);
        case ControlKind::RadioButton: return new QRadioButton(text, parent);
        case ControlKind::Edit: {
            auto* e = new QLineEdit(text, parent);
            e->setReadOnly((c.style & ES_READONLY) != 0);
            if (c.style & ES_CENTER) e->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
            else if (c.style & ES_RIGHT) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // Typing takes digits only; text set by the program is not checked.
            if (c.style & ES_NUMBER)
                e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
            return e;
        }
        case ControlKind::UpDown: return new CUpDown(parent, c.style);
        case ControlKind::ComboBox:
        case ControlKind::ComboBoxEx: return new QComboBox(parent);
        case ControlKind::ListBox: return new QListWidget(parent);
        case ControlKind::Slider: {
            auto* s = new QSlider(Qt::Horizontal, parent);
            if (c.style & TBS_AUTOTICKS) s->setTickPosition(QSlider::TicksBelow);
            return s;
        }
        case ControlKind::Icon: {
            auto* l = new QLabel(parent);
            const QIcon icon = LoadIconResource(static_cast<UINT>(c.text.empty() ? 0 : std::stoul(c.text)));
            if (!icon.isNull()) l->setPixmap(icon.pixmap(32, 32));
            return l;
        }
    }
    return new QWidget(parent);
}
}  // namespace

void RegisterDialogTemplate(DialogTemplate tmpl) {
    const UINT id = tmpl.id;
    Templates()[id] = std::move(tmpl);
}

const DialogTemplate* FindDialogTemplate(UINT id) {
    const auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : &it->second;
}

DialogUnits DialogUnits::FromFont(const QFont& font) {
    const QFontMetrics fm(font);
    const int width52 = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits u;
    u.baseX = std::max(1, (width52 / 26 + 1) / 2);
    u.baseY = std::max(1, fm.height());
    return u;
}

CDialog::CDialog(UINT templateId, CWnd* pParent)
    : QDialog(nullptr), m_nIDTemplate(templateId), m_pParentWnd(pParent) {
    SetNextCommandTarget(pParent);
}

CDialog::~CDialog() = default;

BOOL CDialog::BuildFromTemplate() {
    if (m_bBuilt) return TRUE;
    const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
    if (!t) return FALSE;
    m_bBuilt = true;
    QFont font = QApplication::font();
    if (!t->fontFace.empty()) font = QFont(Q(t->fontFace), t->fontPoints);
    setFont(font);
    m_units = DialogUnits::FromFont(font);
    setWindowTitle(Q(TextOf(t->caption, t->captionJa, t->captionEn)));
    if (t->style & WS_MINIMIZEBOX) setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setFixedSize(m_units.ToPixelsX(t->cx), m_units.ToPixelsY(t->cy));

    QWidget* previous = nullptr;
    QButtonGroup* radios = nullptr;
    UINT radioKey = 0;
    for (const DialogControl& c : t->controls) {
        QWidget* w = MakeWidget(c, m_units, this);
        int height = m_units.ToPixelsY(c.cy);
        // A drop-down list's height in a template includes its open list; closed it is
        // as high as its text needs.
        if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::ComboBoxEx)
            height = std::min(height, w->sizeHint().height());
        w->setGeometry(m_units.ToPixelsX(c.x), m_units.ToPixelsY(c.y), m_units.ToPixelsX(c.cx), height);
        w->setEnabled((c.style & WS_DISABLED) == 0);
        if (c.kind == ControlKind::UpDown && (c.style & UDS_AUTOBUDDY))
            static_cast<CUpDown*>(w)->SetBuddy(qobject_cast<QLineEdit*>(previous));
        if (c.kind == ControlKind::RadioButton) {
            const bool newGroup = !radios || (c.style & WS_GROUP);
            if (newGroup) {
                radios = new QButtonGroup(this);
                radios->setExclusive(true);
                radioKey = c.id;
            }
            auto* b = static_cast<QAbstractButton*>(w);
            radios->addButton(b);
            m_radioGroups[radioKey].push_back(b);
        } else {
            radios = nullptr;
        }
        AddControl(w, c.id);
        previous = w;
    }
    return TRUE;
}

void CDialog::AddControl(QWidget* w, UINT id) {
    w->setProperty("talvernControlId", static_cast<uint>(id));
    if (id != 0 && id != 0xFFFF) m_controls[id] = w;
    WireNotifications(w, id);
}

void CDialog::WireNotifications(QWidget* w, UINT id) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        connect(b, &QAbstractButton::clicked, this, [this, id] { NotifyControl(id, BN_CLICKED); });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        connect(e, &QLineEdit::textChanged, this, [this, id] { NotifyControl(id, EN_CHANGE); });
    } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
        connect(cb, &QComboBox::currentIndexChanged, this, [this, id] { NotifyControl(id, CBN_SELCHANGE); });
    } else if (auto* lb = qobject_cast<QListWidget*>(w)) {
        connect(lb, &QListWidget::currentRowChanged, this, [this, id] { NotifyControl(id, LBN_SELCHANGE); });
    } else if (auto* s = qobject_cast<QSlider*>(w)) {
        connect(s, &QSlider::valueChanged, this, [this, id] { NotifyControl(id, NM_SLIDERMOVED); });
    }
}

QWidget* CDialog::ReplaceDlgItem(UINT id, QWidget* replacement) {
    QWidget* old = GetDlgItem(id);
    if (!old || !replacement || replacement == old) return nullptr;
    replacement->setParent(old->parentWidget());
    replacement->setGeometry(old->geometry());
    replacement->setEnabled(old->isEnabledTo(this));
    replacement->setWindowTitle(old->windowTitle());
    auto* oldButton = qobject_cast<QAbstractButton*>(old);
    auto* newButton = qobject_cast<QAbstractButton*>(replacement);
    if (oldButton && newButton) {
        newButton->setText(oldButton->text());
        newButton->setCheckable(oldButton->isCheckable());
        if (QButtonGroup* group = oldButton->group()) {
            group->removeButton(oldButton);
            group->addButton(newButton);
        }
    }
    for (auto& [key, buttons] : m_radioGroups)
        std::replace(buttons.begin(), buttons.end(), static_cast<QAbstractButton*>(oldButton), newButton);
    // CUpDown has no meta-object of its own: findChildren<CUpDown*> would match any widget.
    for (QWidget* child : findChildren<QWidget*>())
        if (auto* spin = dynamic_cast<CUpDown*>(child); spin && spin->GetBuddy() == old)
            spin->SetBuddy(qobject_cast<QLineEdit*>(replacement));
    replacement->stackUnder(old);
    QWidget::setTabOrder(old, replacement);
    replacement->setVisible(!old->isHidden());
    AddControl(replacement, id);
    delete old;
    return replacement;
}

int CDialog::DoModal() {
    if (!BuildFromTemplate()) return -1;
    m_nResult = 0;
    OnInitDialog();
    if (m_nResult != 0) return m_nResult;  // ended inside OnInitDialog
    return exec();
}

BOOL CDialog::CreateModeless(CWnd* pParent) {
    if (!BuildFromTemplate()) return FALSE;
    // With a parent the dialog lives inside it, without caption or frame.
    if (pParent) setParent(pParent->GetWidget(), Qt::Widget);
    OnInitDialog();
    return TRUE;
}

void CDialog::EndDialog(int result) {
    m_nResult = result;
    done(result);
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

BOOL CDialog::UpdateData(BOOL save) {
    // Control notifications are locked out for the length of an exchange, so no
    // change handler runs while the controls are half loaded.
    ++m_nLockNotify;
    CDataExchange dx(this, save != FALSE);
    DoDataExchange(&dx);
    --m_nLockNotify;
    return dx.Failed() ? FALSE : TRUE;
}

QWidget* CDialog::GetDlgItem(UINT id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

UINT CDialog::GetDlgCtrlID(const QWidget* w) const {
    return w ? w->property("talvernControlId").toUInt() : 0;
}

CUpDown* CDialog::GetUpDown(UINT id) const { return dynamic_cast<CUpDown*>(GetDlgItem(id)); }
QComboBox* CDialog::GetComboBox(UINT id) const { return qobject_cast<QComboBox*>(GetDlgItem(id)); }
QLineEdit* CDialog::GetEdit(UINT id) const { return qobject_cast<QLineEdit*>(GetDlgItem(id)); }
QAbstractButton* CDialog::GetButton(UINT id) const {
    return qobject_cast<QAbstractButton*>(GetDlgItem(id));
}

std::wstring CDialog::GetDlgItemText(UINT id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdWString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdWString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdWString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdWString();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdWString();
    if (w) return w->windowTitle().toStdWString();
    return {};
}

void CDialog::SetDlgItemText(UINT id, const std::wstring& text) {
    QWidget* w = GetDlgItem(id);
    const QString q = Q(text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != q) e->setText(q);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(q);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(q);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(q);
    } else if (auto* c = qobject_cast<QComboBox*>(w); c && c->isEditable()) {
        c->setEditText(q);
    } else if (w) {
        w->setWindowTitle(q);
    }
}

void CDialog::CheckDlgButton(UINT id, int check) {
    auto* b = GetButton(id);
    if (!b) return;
    // An exclusive group refuses to clear its checked button directly.
    QButtonGroup* g = b->group();
    const bool exclusive = g && g->exclusive();
    if (exclusive && check == 0) g->setExclusive(false);
    b->setChecked(check != 0);
    if (exclusive && check == 0) g->setExclusive(true);
}

int CDialog::IsDlgButtonChecked(UINT id) const {
    auto* b = GetButton(id);
    return b && b->isChecked() ? 1 : 0;
}

void CDialog::EnableDlgItem(UINT id, BOOL enable) {
    if (QWidget* w = GetDlgItem(id)) w->setEnabled(enable != FALSE);
}

std::vector<QAbstractButton*> CDialog::RadioGroupOf(UINT id) const {
    for (const auto& [key, buttons] : m_radioGroups)
        for (QAbstractButton* b : buttons)
            if (GetDlgCtrlID(b) == id) return buttons;
    return {};
}

void CDialog::OnControlNotify(UINT id, UINT code, Notify handler) {
    m_notify[{id, code}] = std::move(handler);
}

void CDialog::NotifyControl(UINT id, UINT code) {
    if (m_nLockNotify > 0) return;
    const auto it = m_notify.find({id, code});
    if (it != m_notify.end()) {
        const Notify handler = it->second;  // the handler may replace its own entry
        handler();
        return;
    }
    if (code != BN_CLICKED) return;
    if (DispatchCommand(*this, id)) return;
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            NotifyControl(IDOK, BN_CLICKED);
            return;
        case Qt::Key_Escape:
            NotifyControl(IDCANCEL, BN_CLICKED);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CDialog::closeEvent(QCloseEvent* event) {
    // Ending the dialog hides it; the close request itself never destroys anything.
    event->ignore();
    OnClose();
}
