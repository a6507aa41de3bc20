#include "platform/ui/UiServices.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>
#include <cwctype>
#include <map>

#include "foundation/LangString.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/PackedDib.h"
#include "platform/ui/SaveOpenDialog.h"
#include "platform/ui/Wnd.h"
#include "resources/CommandIds.h"

namespace {

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

class QtMessageBox : public IMessageBoxService {
public:
    int Show(QWidget* owner, const std::wstring& text, const std::wstring& caption, UINT type) override {
        QMessageBox box(owner);
        // A box without a caption of its own is the program's, as on the system this
        // follows; Qt would otherwise put the executable's file name there.
        box.setWindowTitle(Q(caption.empty() ? LoadStringTableEntry(AFX_IDS_APP_TITLE) : caption));
        box.setText(Q(text));
        switch (type & 0xF0) {
            case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
            case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
            case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
            case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
            default: break;
        }
        switch (type & 0x0F) {
            case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
            case MB_YESNOCANCEL:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                break;
            case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
            default: box.setStandardButtons(QMessageBox::Ok); break;
        }
        switch (box.exec()) {
            case QMessageBox::Cancel: return IDCANCEL;
            case QMessageBox::Yes: return IDYES;
            case QMessageBox::No: return IDNO;
            default: return IDOK;
        }
    }
};

class QtFileDialogs : public IFileDialogService {
public:
    bool RunFileDialog(QWidget* owner, FileDialogRequest& request) override {
        SaveOpenDialog dlg(owner ? owner : QApplication::activeWindow(), request);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
        request.paths = dlg.ChosenPaths();
        request.path = request.paths.front();
        if (const int chosen = dlg.ChosenFilter(); chosen > 0) request.filterIndex = chosen;
        return true;
    }

    std::optional<std::wstring> BrowseForFolder(QWidget* owner, const std::wstring& title,
                                                const std::wstring& initial) override {
        const QString dir = QFileDialog::getExistingDirectory(
            owner ? owner : QApplication::activeWindow(), Q(title), Q(initial),
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (dir.isEmpty()) return std::nullopt;
        return dir.toStdWString();
    }
};

class QtClipboard : public IClipboardService {
public:
    bool SetDib(const uint8_t* packed, size_t bytes) override {
        const QImage image = ImageFromPackedDib(packed, bytes);
        if (image.isNull()) return false;
        QGuiApplication::clipboard()->setImage(image);
        return true;
    }
};

// Moves a window with the mouse where the window system cannot do it itself.
class ManualMove : public QObject {
public:
    ManualMove(QWidget* window, const QPoint& globalPos)
        : m_window(window), m_offset(globalPos - window->frameGeometry().topLeft()) {
        qApp->installEventFilter(this);
        connect(window, &QObject::destroyed, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->buttons() & Qt::LeftButton) m_window->move(me->globalPosition().toPoint() - m_offset);
            else deleteLater();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            deleteLater();
        }
        return false;
    }

private:
    QWidget* m_window;
    QPoint m_offset;
};

class QtMover : public IWindowMoverService {
public:
    bool BeginMove(QWidget* window, const QPoint& globalPos) override {
        if (!window) return false;
        window = window->window();
        if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove()) return true;
        new ManualMove(window, globalPos);
        return true;
    }
};

class QtTray : public ITrayService {
public:
    bool Add(QWidget* owner, const std::wstring& tip, const QIcon& icon) override {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
        auto it = m_icons.find(owner);
        if (it != m_icons.end()) {
            // Already there: refresh it rather than adding a second icon.
            it->second->setToolTip(Q(tip));
            if (!icon.isNull()) it->second->setIcon(icon);
            return true;
        }
        auto* tray = new QSystemTrayIcon(icon, owner);
        tray->setToolTip(Q(tip));
        tray->show();
        m_icons[owner] = tray;
        QObject::connect(tray, &QObject::destroyed, [this, owner] {
            m_icons.erase(owner);
            m_clicks.erase(owner);
        });
        QObject::connect(tray, &QSystemTrayIcon::activated, [this, owner](QSystemTrayIcon::ActivationReason why) {
            const auto it = m_clicks.find(owner);
            if (why == QSystemTrayIcon::Trigger && it != m_clicks.end()) it->second();
        });
        return true;
    }

    void SetClickHandler(QWidget* owner, std::function<void()> onClick) override {
        if (m_icons.count(owner)) m_clicks[owner] = std::move(onClick);
    }

    void ShowBalloon(QWidget* owner, const std::wstring& title, const std::wstring& text) override {
        const auto it = m_icons.find(owner);
        if (it != m_icons.end()) it->second->showMessage(Q(title), Q(text), QSystemTrayIcon::Information);
    }

    bool Remove(QWidget* owner) override {
        const auto it = m_icons.find(owner);
        if (it == m_icons.end()) return false;
        QSystemTrayIcon* tray = it->second;
        m_icons.erase(it);
        tray->hide();
        delete tray;
        return true;
    }

private:
    std::map<QWidget*, QSystemTrayIcon*> m_icons;
    std::map<QWidget*, std::function<void()>> m_clicks;
};

class QtScreen : public IScreenService {
public:
    QImage Grab() override {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return QImage();
        return screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    }

    ScreenSnapshot GrabScreenOf(const QWidget* window) override {
        QScreen* screen = window ? window->screen() : nullptr;
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (!screen) return {};
        ScreenSnapshot shot;
        shot.geometry = screen->geometry();
        shot.devicePixelRatio = screen->devicePixelRatio();
        shot.image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        shot.image.setDevicePixelRatio(shot.devicePixelRatio);
        return shot;
    }
};

UiServices& Current() {
    static UiServices services = RealUiServices();
    return services;
}

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool GlobMatch(const wchar_t* name, const wchar_t* pat) {
    // Iterative '*' / '?' matcher with one backtrack point: linear in practice.
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name) {
        if (*pat == L'*') {
            star = pat++;
            resume = name;
        } else if (*pat == L'?' || std::towlower(*pat) == std::towlower(*name)) {
            ++pat;
            ++name;
        } else if (star) {
            pat = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pat == L'*') ++pat;
    return *pat == 0;
}

}  // namespace

UiServices RealUiServices() {
    static QtMessageBox box;
    static QtFileDialogs files;
    static QtClipboard clipboard;
    static QtMover mover;
    static QtTray tray;
    static QtScreen screen;
    return {&box, &files, &clipboard, &mover, &tray, &screen};
}

const UiServices& GetUiServices() { return Current(); }

UiServices SetUiServices(const UiServices& services) {
    const UiServices previous = Current();
    Current() = services;
    return previous;
}

int ShowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    return GetUiServices().messageBox->Show(owner, text, caption, type);
}


std::vector<FileFilter> ParseFileFilter(const std::wstring& filter) {
    std::vector<FileFilter> out;
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t bar = filter.find(L'|'); bar != std::wstring::npos; bar = filter.find(L'|', start)) {
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;  // "||" ends the list
        FileFilter f;
        f.text = parts[i];
        size_t p = 0;
        const std::wstring& pats = parts[i + 1];
        while (p <= pats.size()) {
            size_t semi = pats.find(L';', p);
            if (semi == std::wstring::npos) semi = pats.size();
            const std::wstring one = Trim(pats.substr(p, semi - p));
            if (!one.empty()) f.patterns.push_back(one);
            p = semi + 1;
        }
        out.push_back(std::move(f));
    }
    return out;
}

bool MatchFilePattern(const std::wstring& name, const std::wstring& pattern) {
    // "*.*" means every file, also one without a dot.
    if (pattern == L"*.*") return true;
    return GlobMatch(name.c_str(), pattern.c_str());
}

std::wstring QtNameFilter(const FileFilter& f) {
    std::wstring pats;
    for (const std::wstring& p : f.patterns) {
        if (!pats.empty()) pats += L' ';
        if (p == L"*.*") {
            pats += L'*';
            continue;
        }
        for (wchar_t c : p) {
            const wchar_t lo = static_cast<wchar_t>(std::towlower(c));
            const wchar_t up = static_cast<wchar_t>(std::towupper(c));
            if (lo != up) pats += std::wstring(L"[") + lo + up + L"]";
            else pats += c;
        }
    }
    // Qt takes the patterns from the last parenthesised group of the entry.
    return f.text + L" (" + pats + L")";
}

std::wstring ApplyDefaultExtension(const std::wstring& path, const FileFilter* chosen,
                                   const std::wstring& defaultExt) {
    const size_t slash = path.rfind(L'/');
    const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    // A leading dot (a hidden file) starts no extension; an empty name gets none.
    if (name.empty() || name.find(L'.', 1) != std::wstring::npos) return path;
    std::wstring ext;
    if (chosen) {
        for (const std::wstring& p : chosen->patterns) {
            if (p.size() < 3 || p.compare(0, 2, L"*.") != 0) continue;
            const std::wstring tail = p.substr(2);
            if (tail.find_first_of(L"*?[.") != std::wstring::npos) continue;
            ext = tail;
            break;
        }
    }
    if (ext.empty()) ext = defaultExt;
    if (ext.empty()) return path;
    for (wchar_t& c : ext) c = static_cast<wchar_t>(std::towlower(c));
    return path + L"." + ext;
}

ScreenSnapshot ScriptedUi::GrabScreenOf(const QWidget*) {
    ScreenSnapshot shot;
    shot.image = screenImage;
    shot.geometry = QRect(QPoint(0, 0), screenImage.size());
    return shot;
}

UiServices ScriptedUi::Services() { return {this, this, this, this, this, this}; }

int ScriptedUi::Show(QWidget*, const std::wstring& text, const std::wstring& caption, UINT type) {
    messageBoxes.push_back({text, caption, type});
    if (messageBoxAnswers.empty()) return IDOK;
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

bool ScriptedUi::RunFileDialog(QWidget*, FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) return false;
    const std::optional<FileDialogRequest> answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (!answer) return false;
    // An answer names its files by paths or by path alone, as the real dialog fills both.
    request.paths = answer->paths;
    if (request.paths.empty()) request.paths.push_back(answer->path);
    request.path = answer->path.empty() ? request.paths.front() : answer->path;
    request.filterIndex = answer->filterIndex;
    return true;
}

std::optional<std::wstring> ScriptedUi::BrowseForFolder(QWidget*, const std::wstring& title,
                                                        const std::wstring& initial) {
    folderRequests.emplace_back(title, initial);
    if (folderAnswers.empty()) return std::nullopt;
    std::optional<std::wstring> answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

bool ScriptedUi::SetDib(const uint8_t* packed, size_t bytes) {
    clipboard.emplace_back(packed, packed + bytes);
    return true;
}

bool ScriptedUi::BeginMove(QWidget* window, const QPoint& globalPos) {
    moves.emplace_back(window, globalPos);
    return true;
}

bool ScriptedUi::Add(QWidget* owner, const std::wstring& tip, const QIcon&) {
    if (!trayAvailable) return false;
    trayAdds.push_back(tip);
    trayIcons.insert(owner);
    return true;
}

void ScriptedUi::ShowBalloon(QWidget*, const std::wstring& title, const std::wstring& text) {
    balloons.emplace_back(title, text);
}

bool ScriptedUi::Remove(QWidget* owner) {
    ++trayRemoves;
    trayIcons.erase(owner);
    trayClicks.erase(owner);
    return true;
}

void ScriptedUi::SetClickHandler(QWidget* owner, std::function<void()> onClick) {
    if (trayIcons.count(owner)) trayClicks[owner] = std::move(onClick);
}

bool ScriptedUi::ClickTray(QWidget* owner) {
    const auto it = trayClicks.find(owner);
    if (!trayIcons.count(owner) || it == trayClicks.end()) return false;
    const std::function<void()> handler = it->second;  // the handler may remove the icon
    handler();
    return true;
}
