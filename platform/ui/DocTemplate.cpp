#include "platform/ui/DocTemplate.h"

#include "platform/ui/Document.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"

CSingleDocTemplate::CSingleDocTemplate(UINT menuId, UINT resourceId, DocumentFactory document,
                                       FrameFactory frame, ViewFactory view)
    : m_nMenuId(menuId),
      m_nResourceId(resourceId),
      m_documentFactory(std::move(document)),
      m_frameFactory(std::move(frame)),
      m_viewFactory(std::move(view)) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    CloseAllDocuments();
}

BOOL CSingleDocTemplate::CreateDocumentAndFrame() {
    m_pDocument = m_documentFactory();
    m_pFrame = m_frameFactory();
    if (!m_pDocument || !m_pFrame) {
        CloseAllDocuments();
        return FALSE;
    }
    CWinApp* app = AfxGetApp();
    // The frame is the main window from the start: the document's open may already
    // need it (a movie named on the command line opens before the window is shown).
    if (app && !app->GetMainWnd()) app->SetMainWnd(m_pFrame.get());
    CCreateContext context{m_pDocument.get(), m_viewFactory};
    if (!m_pFrame->LoadFrame(m_nMenuId, m_nResourceId, &context)) {
        CloseAllDocuments();
        return FALSE;
    }
    return TRUE;
}

void CSingleDocTemplate::InitialUpdateFrame() {
    if (CWnd* view = m_pFrame->GetActiveView()) view->OnInitialUpdate();
}

CSingleDocTemplate::OpenResult CSingleDocTemplate::OpenDocumentFile(const std::wstring& path) {
    if (!m_pDocument) {
        if (!CreateDocumentAndFrame()) return OpenResult::Failed;
    } else if (!m_pDocument->SaveModified()) {
        m_pFrame->OnUpdateFrameTitle();
        return OpenResult::Refused;
    }
    if (path.empty()) {
        InitialUpdateFrame();
        m_pFrame->OnUpdateFrameTitle();
        return OpenResult::Opened;
    }
    if (!m_pDocument->OnOpenDocument(path)) {
        m_pFrame->OnUpdateFrameTitle();
        return OpenResult::Failed;
    }
    m_pDocument->SetPathName(path);
    const size_t slash = path.rfind(L'/');
    m_pDocument->SetTitle(slash == std::wstring::npos ? path : path.substr(slash + 1));
    InitialUpdateFrame();
    m_pFrame->OnUpdateFrameTitle();
    return OpenResult::Opened;
}

void CSingleDocTemplate::CloseAllDocuments() {
    if (m_pFrame) {
        m_pFrame->DestroyView();
        CWinApp* app = AfxGetApp();
        if (app && app->GetMainWnd() == m_pFrame.get()) app->SetMainWnd(nullptr);
        m_pFrame.reset();
    }
    if (m_pDocument) m_pDocument->SetView(nullptr);
    m_pDocument.reset();
}
