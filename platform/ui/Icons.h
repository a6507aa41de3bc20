#pragma once
// Icon resources by id (the program icon is 128). The resources register them at
// start-up; an unknown id gives a null icon, which the drawing calls ignore.
#include <QIcon>

#include "platform/win32/Win32Types.h"

void RegisterIconResource(UINT id, const QIcon& icon);
QIcon LoadIconResource(UINT id);
