#pragma once
// The single-document template: joins the one document, its frame and its view, each
// made by a factory, and runs every open. An open asks the document's SaveModified
// first (a refusal leaves everything as it was), then its OnOpenDocument; on success
// the document takes the path, and whatever the outcome the frame's title is
// refreshed from the document.
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/Win32Types.h"

class CDocument;
class CFrameWnd;
class CWnd;

class CSingleDocTemplate {
public:
    enum class OpenResult { Opened, Refused, Failed };

    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    // Builds the view as a child of the frame (which then owns it).
    using ViewFactory = std::function<CWnd*(CFrameWnd& frame)>;

    // menuId: the frame's menu; resourceId: its keys and icon.
    CSingleDocTemplate(UINT menuId, UINT resourceId, DocumentFactory document, FrameFactory frame,
                       ViewFactory view);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // An empty path builds the document and its frame without opening anything. The
    // first call builds them (a frame that fails to build fails the call).
    OpenResult OpenDocumentFile(const std::wstring& path);

    CDocument* GetDocument() const { return m_pDocument.get(); }
    CFrameWnd* GetFrame() const { return m_pFrame.get(); }
    UINT GetMenuId() const { return m_nMenuId; }

    // The view goes first, then its frame, then the document.
    void CloseAllDocuments();

private:
    BOOL CreateDocumentAndFrame();
    void InitialUpdateFrame();

    UINT m_nMenuId;
    UINT m_nResourceId;
    DocumentFactory m_documentFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
    std::unique_ptr<CDocument> m_pDocument;
    std::unique_ptr<CFrameWnd> m_pFrame;
};
