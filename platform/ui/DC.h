#pragma once
// A drawing context over QPainter with the GDI operations the system draws with.
// Coordinates are device pixels; rectangles exclude their right and bottom edges.
// Drawing happens only while painting (a paint event or an image), so "draw now"
// elsewhere means: change the model, then repaint.
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/Win32Types.h"

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr DWORD SRCCOPY = 0x00CC0020;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

// DrawEdge edges and borders.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = 0x000F;

// The classic three-dimensional colours the edges are drawn in.
constexpr COLORREF kColor3DHighlight = RGB(255, 255, 255);
constexpr COLORREF kColor3DLight = RGB(227, 227, 227);
constexpr COLORREF kColor3DShadow = RGB(160, 160, 160);
constexpr COLORREF kColor3DDarkShadow = RGB(105, 105, 105);

QColor ToQColor(COLORREF c);
COLORREF FromQColor(const QColor& c);
QRect ToQRect(const RECT& r);
RECT FromQRect(const QRect& r);

class CDC {
public:
    CDC() = default;
    // Draws through a painter that someone else owns (a paint event's).
    explicit CDC(QPainter* painter) : m_pPainter(painter) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() = default;

    QPainter* GetPainter() const { return m_pPainter; }
    // The pixels behind this DC when it draws into an image (a memory DC), else null.
    virtual const QImage* GetImage() const { return nullptr; }

    void FillSolidRect(const RECT& rc, COLORREF color);
    COLORREF SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return m_crText; }
    COLORREF SetBkColor(COLORREF color);
    int SetBkMode(int mode);
    int GetBkMode() const { return m_nBkMode; }
    // Selects a font; returns the previous one (nullopt: the painter's own was in use).
    std::optional<QFont> SelectFont(const std::optional<QFont>& font);
    const std::optional<QFont>& GetSelectedFont() const { return m_font; }
    int DrawText(const std::wstring& text, const RECT& rc, UINT format);
    void DrawEdge(const RECT& rc, UINT edge, UINT flags);
    // The dotted rectangle of keyboard focus, inverting the pixels it covers.
    void DrawFocusRect(const RECT& rc);
    // An icon at its large size (32 x 32) with its top-left corner at (x, y).
    void DrawIcon(int x, int y, const QIcon& icon);
    int SetStretchBltMode(int mode);
    // Copies a rectangle of source's pixels, scaled without blending. A negative width
    // or height mirrors. Fails when the source has no pixels to read.
    BOOL StretchBlt(int x, int y, int w, int h, const CDC* source, int sx, int sy, int sw, int sh, DWORD rop);
    BOOL BitBlt(int x, int y, int w, int h, const CDC* source, int sx, int sy, DWORD rop);
    // Draws the region src (top-down picture coordinates) of a bottom-up 24-bit frame
    // scaled into dst, straight from the caller's rows.
    void DrawFrame24(const RECT& dst, const uint8_t* bits, int width, int height, const RECT& src);

protected:
    void SetPainter(QPainter* painter) { m_pPainter = painter; }

private:
    void DrawImageScaled(const QImage& image, int x, int y, int w, int h, const QRectF& source);

    QPainter* m_pPainter = nullptr;
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBack = RGB(255, 255, 255);
    int m_nBkMode = OPAQUE;
    int m_nStretchMode = COLORONCOLOR;
    std::optional<QFont> m_font;
};
