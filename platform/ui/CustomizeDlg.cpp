#include "platform/ui/CustomizeDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <optional>

#include "foundation/LangString.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/ToolBar.h"
#include "platform/ui/UiServices.h"

namespace {

QString Text(UINT ja, UINT en) { return QString::fromStdWString(LoadLangString(ja, en)); }

void CollectItems(const std::vector<MenuItem>& items, CommandCategory& category) {
    for (const MenuItem& item : items) {
        if (!item.items.empty()) {
            CollectItems(item.items, category);
            continue;
        }
        if (item.id == 0) continue;
        const bool known = std::any_of(category.commands.begin(), category.commands.end(),
                                       [&](const CustomizeCommand& c) { return c.id == item.id; });
        if (!known) category.commands.push_back({item.id, LabelFromMenuText(item.text)});
    }
}

// The commands list hands out copies: dragging a command away leaves it listed.
class CommandList : public QListWidget {
public:
    explicit CommandList(QWidget* parent) : QListWidget(parent) {
        setDragEnabled(true);
        setDragDropMode(QAbstractItemView::DragOnly);
        setSelectionMode(QAbstractItemView::SingleSelection);
    }

protected:
    void startDrag(Qt::DropActions) override {
        QListWidgetItem* item = currentItem();
        if (!item) return;
        auto* drag = new QDrag(this);
        drag->setMimeData(MakeCommandMimeData(item->data(Qt::UserRole).toUInt()));
        if (!item->icon().isNull()) drag->setPixmap(item->icon().pixmap(iconSize()));
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
};

QLabel* BuddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

std::vector<CommandCategory> CollectMenuCommands(const MenuTemplate& menu) {
    std::vector<CommandCategory> out;
    for (const MenuItem& popup : menu.items) {
        CommandCategory category{LabelFromMenuText(popup.text), {}};
        CollectItems(popup.items, category);
        if (!category.commands.empty()) out.push_back(std::move(category));
    }
    return out;
}

CCustomizeDlg::CCustomizeDlg(CFrameWnd& frame, UINT flags)
    : QDialog(&frame), m_frame(frame), m_nFlags(flags) {
    setWindowTitle(Text(51601, 51602));
    setModal(false);
    if (const MenuTemplate* menu = FindMenuTemplate(frame.GetMenuId()))
        m_categories = CollectMenuCommands(*menu);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(BuildCommandsPage(), Text(51603, 51604));
    tabs->addTab(BuildToolBarsPage(), Text(51605, 51606));
    if (m_nFlags & kCustomizeMenuAnimations) tabs->addTab(BuildOptionsPage(), Text(51607, 51608));
    auto* close = new QPushButton(Text(51635, 51636));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(bottom);
    SelectCategory(0);
    FillToolBarList(0);
}

CCustomizeDlg::~CCustomizeDlg() = default;

QWidget* CCustomizeDlg::BuildCommandsPage() {
    auto* page = new QWidget;
    m_pCategories = new QListWidget(page);
    for (const CommandCategory& c : m_categories)
        m_pCategories->addItem(QString::fromStdWString(c.name));
    m_pCommands = new CommandList(page);
    m_pCommands->setIconSize(QSize(16, 16));
    connect(m_pCategories, &QListWidget::currentRowChanged, this,
            [this](int row) { SelectCategory(row); });
    auto* hint = new QLabel(Text(51613, 51614), page);
    hint->setWordWrap(true);
    auto* grid = new QGridLayout(page);
    grid->addWidget(BuddyLabel(Text(51609, 51610), m_pCategories), 0, 0);
    grid->addWidget(BuddyLabel(Text(51611, 51612), m_pCommands), 0, 1);
    grid->addWidget(m_pCategories, 1, 0);
    grid->addWidget(m_pCommands, 1, 1);
    grid->addWidget(hint, 2, 0, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    return page;
}

void CCustomizeDlg::SelectCategory(int index) {
    if (index >= 0 && index < static_cast<int>(m_categories.size()) &&
        m_pCategories->currentRow() != index) {
        m_pCategories->setCurrentRow(index);  // comes back here through the list's signal
        return;
    }
    m_pCommands->clear();
    if (index < 0 || index >= static_cast<int>(m_categories.size())) return;
    for (const CustomizeCommand& c : m_categories[static_cast<size_t>(index)].commands) {
        auto* item = new QListWidgetItem(QString::fromStdWString(c.text), m_pCommands);
        item->setData(Qt::UserRole, static_cast<uint>(c.id));
        const QImage image = FindCommandImage(c.id);
        if (!image.isNull()) item->setIcon(QIcon(QPixmap::fromImage(image)));
    }
}

QWidget* CCustomizeDlg::BuildToolBarsPage() {
    auto* page = new QWidget;
    m_pBars = new QListWidget(page);
    m_pReset = new QPushButton(Text(51617, 51618), page);
    m_pNew = new QPushButton(Text(51619, 51620), page);
    m_pRename = new QPushButton(Text(51621, 51622), page);
    m_pDelete = new QPushButton(Text(51623, 51624), page);
    connect(m_pReset, &QPushButton::clicked, this, [this] { OnResetToolBar(); });
    connect(m_pNew, &QPushButton::clicked, this, [this] { OnNewToolBar(); });
    connect(m_pRename, &QPushButton::clicked, this, [this] { OnRenameToolBar(); });
    connect(m_pDelete, &QPushButton::clicked, this, [this] { OnDeleteToolBar(); });
    connect(m_pBars, &QListWidget::currentRowChanged, this, [this] { OnToolBarSelected(); });
    connect(m_pBars, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        m_frame.ShowControlBar(item->data(Qt::UserRole).toUInt(), item->checkState() == Qt::Checked);
    });
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_pReset, m_pNew, m_pRename, m_pDelete}) buttons->addWidget(b);
    buttons->addStretch();
    auto* grid = new QGridLayout(page);
    grid->addWidget(BuddyLabel(Text(51615, 51616), m_pBars), 0, 0);
    grid->addWidget(m_pBars, 1, 0);
    grid->addLayout(buttons, 1, 1);
    if (m_nFlags & kCustomizeTextLabels) {
        m_pTextLabels = new QCheckBox(Text(51625, 51626), page);
        connect(m_pTextLabels, &QCheckBox::toggled, this, [this](bool on) {
            if (CToolBar* bar = SelectedToolBar()) bar->SetTextLabels(on);
        });
        grid->addWidget(m_pTextLabels, 2, 0, 1, 2);
    }
    return page;
}

QWidget* CCustomizeDlg::BuildOptionsPage() {
    auto* page = new QWidget;
    m_pAnimation = new QComboBox(page);
    m_pAnimation->addItems({Text(51629, 51630), Text(51631, 51632), Text(51633, 51634)});
    m_pAnimation->setCurrentIndex(m_frame.GetMenuAnimation());
    connect(m_pAnimation, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_frame.SetMenuAnimation(index); });
    auto* row = new QHBoxLayout;
    row->addWidget(BuddyLabel(Text(51627, 51628), m_pAnimation));
    row->addWidget(m_pAnimation);
    row->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addStretch();
    return page;
}

void CCustomizeDlg::FillToolBarList(UINT select) {
    const QSignalBlocker quiet(m_pBars);
    m_pBars->clear();
    for (CToolBar* bar : m_frame.GetToolBars()) {
        auto* item = new QListWidgetItem(bar->windowTitle(), m_pBars);
        item->setData(Qt::UserRole, static_cast<uint>(bar->GetID()));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(bar->isHidden() ? Qt::Unchecked : Qt::Checked);
        if (bar->GetID() == select || m_pBars->count() == 1) m_pBars->setCurrentItem(item);
    }
    // Bars shown or hidden from the menus while the dialog is open.
    delete m_pBarWatch;
    m_pBarWatch = new QObject(this);
    for (CToolBar* bar : m_frame.GetToolBars())
        connect(bar, &QToolBar::visibilityChanged, m_pBarWatch, [this] { SyncChecks(); });
    OnToolBarSelected();
}

void CCustomizeDlg::SyncChecks() {
    const QSignalBlocker quiet(m_pBars);
    for (int i = 0; i < m_pBars->count(); ++i) {
        QListWidgetItem* item = m_pBars->item(i);
        const QWidget* bar = m_frame.GetControlBar(item->data(Qt::UserRole).toUInt());
        item->setCheckState(bar && !bar->isHidden() ? Qt::Checked : Qt::Unchecked);
    }
}

CToolBar* CCustomizeDlg::SelectedToolBar() const {
    const QListWidgetItem* item = m_pBars->currentItem();
    if (!item) return nullptr;
    return dynamic_cast<CToolBar*>(m_frame.GetControlBar(item->data(Qt::UserRole).toUInt()));
}

void CCustomizeDlg::OnToolBarSelected() {
    CToolBar* bar = SelectedToolBar();
    const bool user = bar && m_frame.IsUserToolBar(bar->GetID());
    m_pReset->setEnabled(bar && bar->CanReset());
    m_pRename->setEnabled(user);
    m_pDelete->setEnabled(user);
    m_pNew->setEnabled(m_frame.CanCreateUserToolBar());
    if (m_pTextLabels) {
        const QSignalBlocker quiet(m_pTextLabels);
        m_pTextLabels->setEnabled(bar != nullptr);
        m_pTextLabels->setChecked(bar && bar->GetTextLabels());
    }
}

namespace {
// The name of a tool bar as the user types it; nothing when cancelled or left blank.
std::optional<std::wstring> AskToolBarName(QWidget* owner, const QString& name) {
    QInputDialog ask(owner);
    ask.setWindowTitle(Text(51637, 51638));
    ask.setLabelText(Text(51639, 51640));
    ask.setOkButtonText(Text(51647, 51648));
    ask.setCancelButtonText(Text(51649, 51650));
    ask.setTextValue(name);
    if (ask.exec() != QDialog::Accepted) return std::nullopt;
    const QString typed = ask.textValue().trimmed();
    if (typed.isEmpty()) return std::nullopt;
    return typed.toStdWString();
}
}  // namespace

void CCustomizeDlg::OnNewToolBar() {
    const QString suggested = QString::fromStdWString(LoadLangString(51641, 51642))
                                  .arg(m_frame.GetToolBars().size());
    const std::optional<std::wstring> name = AskToolBarName(this, suggested);
    if (!name) return;
    if (CToolBar* bar = m_frame.CreateUserToolBar(*name)) FillToolBarList(bar->GetID());
}

void CCustomizeDlg::OnRenameToolBar() {
    CToolBar* bar = SelectedToolBar();
    if (!bar || !m_frame.IsUserToolBar(bar->GetID())) return;
    const std::optional<std::wstring> name = AskToolBarName(this, bar->windowTitle());
    if (!name) return;
    m_frame.RenameToolBar(bar->GetID(), *name);
    FillToolBarList(bar->GetID());
}

void CCustomizeDlg::OnDeleteToolBar() {
    CToolBar* bar = SelectedToolBar();
    if (!bar || !Confirm(51645, 51646, bar->windowTitle())) return;
    m_frame.DeleteUserToolBar(bar->GetID());
    FillToolBarList(0);
}

void CCustomizeDlg::OnResetToolBar() {
    CToolBar* bar = SelectedToolBar();
    if (!bar || !bar->CanReset() || !Confirm(51643, 51644, bar->windowTitle())) return;
    bar->ResetToolBar();
}

bool CCustomizeDlg::Confirm(UINT ja, UINT en, const QString& name) {
    const QString text = QString::fromStdWString(LoadLangString(ja, en)).arg(name);
    return ShowMessageBox(this, text.toStdWString(), windowTitle().toStdWString(),
                          MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void CCustomizeDlg::showEvent(QShowEvent* event) {
    m_frame.SetCustomizeMode(true);
    QDialog::showEvent(event);
}

void CCustomizeDlg::done(int result) {
    m_frame.SetCustomizeMode(false);
    m_frame.SaveBarState();
    QDialog::done(result);
}
