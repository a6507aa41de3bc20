#pragma once
// The document of the single-document framework: the path of what is open, the
// title shown in the frame, a modified flag, and the two gates every open and close
// goes through. The framework (CSingleDocTemplate / CWinApp) calls them; a document
// class overrides them.
#include <string>

#include "platform/ui/Command.h"
#include "platform/win32/Win32Types.h"

class CWnd;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override = default;

    // Opens path. The base step checks that path names a regular file that can be
    // read (without blocking on a FIFO or a device) and shows its own message when it
    // cannot; a document calls it first and returns FALSE when it fails.
    virtual BOOL OnOpenDocument(const std::wstring& path);
    // Asked before the document is closed or replaced (open, drop, recent file, Exit,
    // close box); FALSE refuses. The base allows unless modified, which it never is
    // unless the document sets it.
    virtual BOOL SaveModified() { return TRUE; }

    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }

    // Set by the framework after a successful open.
    const std::wstring& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const std::wstring& path) { m_strPathName = path; }
    const std::wstring& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::wstring& title) { m_strTitle = title; }

    // The single view, attached by the framework when it builds the view.
    CWnd* GetView() const { return m_pView; }
    void SetView(CWnd* view) { m_pView = view; }

private:
    BOOL m_bModified = FALSE;
    std::wstring m_strPathName;
    std::wstring m_strTitle;
    CWnd* m_pView = nullptr;
};

// The base open step without its message: true when path is a regular file that
// opens for reading. Never blocks (the file is opened non-blocking and checked
// with fstat before anything reads it).
bool CanOpenRegularFileForReading(const std::wstring& path);
