#include "toolkit/WindowHolder.h"

#include <algorithm>

namespace {
// While a window must wait (its releasing handler runs a nested loop), look again
// at this pace rather than spinning a zero-timer inside that loop.
constexpr int kRetryMs = 100;
}  // namespace

CWindowGraveyard::CWindowGraveyard() {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        Collect();
        if (!m_dead.empty()) m_timer.start(kRetryMs);
    });
}

CWindowGraveyard::~CWindowGraveyard() {
    m_timer.stop();
    // A window's destructor may release further windows: take the list first.
    while (!m_dead.empty()) {
        std::vector<Entry> dead = std::move(m_dead);
        m_dead.clear();
    }
}

void CWindowGraveyard::Bury(std::unique_ptr<QWidget> window) {
    if (!window) return;
    window->hide();
    m_dead.push_back({std::move(window), std::max(m_depth, 1)});
    if (!m_timer.isActive()) m_timer.start(0);
}

void CWindowGraveyard::Collect() {
    std::vector<Entry> ready;
    auto keep = std::stable_partition(m_dead.begin(), m_dead.end(),
                                      [this](const Entry& e) { return e.level <= m_depth; });
    std::move(keep, m_dead.end(), std::back_inserter(ready));
    m_dead.erase(keep, m_dead.end());
    // Destroyed here, after the list is consistent again.
    ready.clear();
}
