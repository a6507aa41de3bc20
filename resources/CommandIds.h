#pragma once
// Every command id of the program and the string ids that more than one place loads, in
// one place: the menus, the accelerators and the tool bar name the commands from here,
// and so do the handlers of the frame, the document, the view and the side windows, the
// framework's own handlers and the tests. A command's number stays what it is, since the
// stored tool-bar layouts and the string table key on it.
// Data only: any layer may include this header without linking anything of resources/.
#include "platform/win32/Win32Types.h"

// ---- Strings ----

// The application title, shown alone or after the document's name and over message boxes.
constexpr UINT AFX_IDS_APP_TITLE = 57344;

// ---- File, Edit and Help ----

constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_SAVE_IMAGE = 57603;
constexpr UINT ID_FILE_MRU_FILE1 = 57616;  // the recent files follow it, one id each
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_HELP = 57670;

// ---- Play and moving ----

constexpr UINT ID_PLAY = 32791, ID_STOP = 32792, ID_PAUSE = 32793;
constexpr UINT ID_MOVE_END = 32870, ID_NEXT_FRAME = 32871, ID_PREV_FRAME = 32872,
               ID_MOVE_START = 32873;

// ---- Output settings (document) ----

constexpr UINT ID_OUTPUT_JPG = 32732;
constexpr UINT ID_OUTPUT_BMP = 32733;
constexpr UINT ID_OUTPUT_AVI = 32734;
constexpr UINT ID_OUTPUT_WMV = 32735;
constexpr UINT ID_OUTPUT_TIF = 32736;
constexpr UINT ID_OUTPUT_PNG = 32737;
constexpr UINT ID_OUTPUT_SETTINGS = 32738;

// ---- Filter ----

constexpr UINT ID_CLIP_RESIZE = 32731;
// The deinterlace modes in mode order: none, odd field, even field, doubling.
constexpr UINT ID_DEINTERLACE_NO = 32761, ID_DEINTERLACE_ODD = 32762, ID_DEINTERLACE_EVEN = 32763,
               ID_DEINTERLACE_DOUBLING = 32764;

// ---- Frame range ----

constexpr UINT ID_RANGE_START = 32800, ID_RANGE_END = 32801, ID_RANGE_PLAY = 32802;
constexpr UINT ID_GOTO_RANGE_START = 32803, ID_GOTO_RANGE_END = 32804, ID_RANGE_WHOLE = 32805;

// ---- Extraction ----

constexpr UINT ID_EXTRACT_VIDEO = 32892, ID_EXTRACT_AUDIO = 32900;

// ---- Other: side windows, movie player, priority, preview, zoom ----

constexpr UINT ID_FILE_INFO = 32750, ID_BMP_INFO = 32880, ID_SHOW_ORIGINAL = 32840;
constexpr UINT ID_PLAYER_TOGGLE = 32890, ID_PLAYER_PAUSE = 32891, ID_PLAYER_FIRST = 32798,
               ID_PLAYER_LAST = 32799;
constexpr UINT ID_PRIORITY_HIGH = 32780, ID_PRIORITY_NORMAL = 32781, ID_PRIORITY_LOW = 32782;
// The preview intervals (document): every frame, some, none.
constexpr UINT ID_PREVIEW_NONE = 32809, ID_PREVIEW_THIN = 32810, ID_PREVIEW_ALL = 32811;
// The zoom presets in id order: 25%, 50%, 100%, 150%, 200%, 400%.
constexpr UINT ID_ZOOM_25 = 32771, ID_ZOOM_50 = 32772, ID_ZOOM_100 = 32773, ID_ZOOM_150 = 32774,
               ID_ZOOM_200 = 32775, ID_ZOOM_400 = 32776;
// Keys only: one zoom step up or down.
constexpr UINT ID_ZOOM_UP = 61450, ID_ZOOM_DOWN = 61451;

// ---- View: bars and visual styles (main frame) ----

constexpr UINT ID_VIEW_CUSTOMIZE = 124;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;
constexpr UINT ID_VIEW_MENUBAR = 59398;
constexpr UINT ID_VIEW_USER_TOOLBAR_FIRST = 59432, ID_VIEW_USER_TOOLBAR_LAST = 59441;
// The visual styles, one command each, in menu order.
constexpr UINT ID_VIEW_APPLOOK_WIN_2000 = 40001, ID_VIEW_APPLOOK_OFF_XP = 40002,
               ID_VIEW_APPLOOK_WIN_XP = 40003, ID_VIEW_APPLOOK_OFF_2003 = 40004,
               ID_VIEW_APPLOOK_VS_2005 = 40005;
constexpr UINT ID_VIEW_APPLOOK_OFF_2007_BLUE = 40006, ID_VIEW_APPLOOK_OFF_2007_BLACK = 40007,
               ID_VIEW_APPLOOK_OFF_2007_SILVER = 40008, ID_VIEW_APPLOOK_OFF_2007_AQUA = 40009;
constexpr UINT ID_VIEW_APPLOOK_FIRST = ID_VIEW_APPLOOK_WIN_2000;
constexpr UINT ID_VIEW_APPLOOK_LAST = ID_VIEW_APPLOOK_OFF_2007_AQUA;
constexpr UINT ID_VIEW_APPLOOK_DEFAULT = ID_VIEW_APPLOOK_OFF_2007_BLUE;

// ---- Status panes 1 and 2 ----

constexpr UINT ID_INDICATOR_OUTPUT = 61447, ID_INDICATOR_QUALITY = 61448;

// ---- Sent to the view by its side windows (no menu item) ----

constexpr UINT ID_VIEWER_CLOSED = 61449;    // the source picture window was closed
constexpr UINT ID_RESIZE_CLOSED = 61452;    // the clip-and-resize window closes
constexpr UINT ID_DISPLAY_REFRESH = 61454;  // the clip or the size changed
constexpr UINT ID_BMP_INFO_CLOSED = 61465;  // the frame header window closes
constexpr UINT ID_PLAYER_CLOSED = 61470;    // the movie player window was closed
// The movie information window sends ID_FILE_INFO when it closes.
