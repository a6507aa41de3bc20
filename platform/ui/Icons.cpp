#include "platform/ui/Icons.h"

#include <map>

namespace {
std::map<UINT, QIcon>& Registry() {
    static std::map<UINT, QIcon> icons;
    return icons;
}
}  // namespace

void RegisterIconResource(UINT id, const QIcon& icon) { Registry()[id] = icon; }

QIcon LoadIconResource(UINT id) {
    const auto it = Registry().find(id);
    return it == Registry().end() ? QIcon() : it->second;
}
