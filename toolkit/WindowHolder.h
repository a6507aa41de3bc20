#pragma once
// Side windows are released from inside their own handlers: a window that reports
// its close to its owner is still executing when the owner lets go of it. A holder
// therefore never deletes a window on the spot. Releasing hides the window at once
// and hands it to the owner's graveyard, which deletes it later, at a point where
// the handler that released it has returned: a zero-timer from whichever event loop
// runs next, or an explicit Collect after each round of a nested message pump (Qt
// runs no deferred deletion inside processEvents, so deleteLater is no help there).
//
// The owner counts its own handlers on the stack with Scope. A window released while
// n of them run is deleted only once fewer than n run: a handler that released a
// window and then starts a nested loop (a message box, a dialog) keeps it alive
// until it has returned.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class CWindowGraveyard {
public:
    CWindowGraveyard();
    ~CWindowGraveyard();  // deletes every window still waiting
    CWindowGraveyard(const CWindowGraveyard&) = delete;
    CWindowGraveyard& operator=(const CWindowGraveyard&) = delete;

    // Marks one handler of the owner as running for the object's lifetime.
    class Scope {
    public:
        explicit Scope(CWindowGraveyard& g) : m_g(g) { ++m_g.m_depth; }
        ~Scope() { --m_g.m_depth; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CWindowGraveyard& m_g;
    };

    // Hides the window now; it is deleted by a later Collect or the timer.
    void Bury(std::unique_ptr<QWidget> window);
    // Deletes the windows whose releasing handlers have all returned.
    void Collect();

    int Depth() const { return m_depth; }
    size_t Waiting() const { return m_dead.size(); }

private:
    struct Entry {
        std::unique_ptr<QWidget> window;
        int level;  // handlers of the owner running when it was released (at least 1)
    };

    std::vector<Entry> m_dead;
    int m_depth = 0;
    QTimer m_timer;
};

// Holds at most one side window of type T (a QWidget) on behalf of its owner.
template <typename T>
class CWindowHolder {
public:
    explicit CWindowHolder(CWindowGraveyard& graveyard) : m_graveyard(graveyard) {}
    ~CWindowHolder() { Release(); }
    CWindowHolder(const CWindowHolder&) = delete;
    CWindowHolder& operator=(const CWindowHolder&) = delete;

    // Releases any window held, then holds p.
    void Attach(T* p) {
        if (p && p == m_p.get()) return;
        Release();
        m_p.reset(p);
    }
    // Hides the window at once; its deletion waits in the graveyard.
    void Release() {
        if (m_p) m_graveyard.Bury(std::unique_ptr<QWidget>(m_p.release()));
    }

    T* Get() const { return m_p.get(); }
    T* operator->() const { return m_p.get(); }
    explicit operator bool() const { return m_p != nullptr; }

private:
    CWindowGraveyard& m_graveyard;
    std::unique_ptr<T> m_p;
};
