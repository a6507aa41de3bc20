#include "image/BoundedPath.h"

#include "platform/win32/WideChar.h"

CBoundedPath::CBoundedPath(const wchar_t* path)
    : m_ok(WideToUtf8Bounded(path, m_text, sizeof m_text)) {}
