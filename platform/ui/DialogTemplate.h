#pragma once
// Dialog templates as data: what the resource compiler would have turned into a
// binary template. Positions and sizes are in dialog units, converted into pixels
// with the dialog font when the dialog is built.
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

enum class ControlKind {
    Static,
    GroupBox,
    PushButton,
    DefPushButton,
    CheckBox,
    RadioButton,
    Edit,
    UpDown,      // paired with the edit just before it
    ComboBox,    // drop-down list
    ComboBoxEx,  // drop-down list with item pictures
    ListBox,
    Slider,
    Icon,        // a static picture showing an icon resource (text = icon id in decimal)
};

// Window and control styles the builder understands (Win32 values).
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;  // of a dialog; the same bit is WS_GROUP on a control
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_RIGHT = 0x0002;
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ES_NUMBER = 0x2000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x000C;
constexpr DWORD SS_SUNKEN = 0x1000;
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;
constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_ENABLESELRANGE = 0x0020;

struct DialogControl {
    UINT id = 0;
    ControlKind kind = ControlKind::Static;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    DWORD style = 0;
    std::wstring text;  // the template's own text
    UINT textJa = 0;    // string pair chosen by language; 0 = use text
    UINT textEn = 0;
};

struct DialogTemplate {
    UINT id = 0;
    std::wstring caption;
    UINT captionJa = 0;  // string pair for the caption; 0 = use caption
    UINT captionEn = 0;
    int cx = 0, cy = 0;  // dialog units
    std::wstring fontFace;  // empty: the GUI font
    int fontPoints = 9;
    std::vector<DialogControl> controls;
    DWORD style = 0;  // of the dialog window: WS_MINIMIZEBOX
};

// Templates are registered once by the resources and looked up by id.
void RegisterDialogTemplate(DialogTemplate tmpl);
const DialogTemplate* FindDialogTemplate(UINT id);
