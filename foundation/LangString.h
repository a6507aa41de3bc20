#pragma once
// Bilingual texts: every user-visible text is a pair of string-table entries,
// Japanese at id N and English at N + 1, chosen when the text is fetched.
#include <string>

#include "platform/win32/Win32Types.h"

// TRUE when the first non-empty of LC_ALL, LC_MESSAGES and LANG names Japanese
// ("ja", or "ja" followed by '_', '.' or '@'). Tested afresh on every call.
BOOL IsJapaneseSystem();
std::wstring SelectByLanguage(const std::wstring& jp, const std::wstring& en);

// One string-table entry; a missing id gives an empty text, an id of the blank
// stretches between the message blocks a single blank.
std::wstring LoadStringTableEntry(UINT id);
std::wstring LoadLangString(UINT jpId, UINT enId);
std::wstring LoadLangStringPair(UINT jpId, UINT enId);

// The catalogue text of a result code: empty for 0 and -2, "Other Errors" for a code
// without a row of its own.
std::wstring ErrorMessageForCode(int code);

// The Japanese string id of a catalogue row, or 0 when the code has none.
UINT ErrorCatalogueId(int code);

std::wstring GetMsgPause();
std::wstring GetMsgStop();
std::wstring GetMsgMake();
std::wstring GetMsgOnePass();
std::wstring GetMsgPlay();
std::wstring GetMsgStopQuery();
std::wstring GetMsgImageNotAcquired();
std::wstring GetMsgSlash();
std::wstring GetMsgRangeSelected();
std::wstring GetMsgDefault();
std::wstring GetMsgCustomize();
// "It preserved it in the following files. \n" followed by path, taken literally.
std::wstring FormatSavedToMsg(const std::wstring& path);
