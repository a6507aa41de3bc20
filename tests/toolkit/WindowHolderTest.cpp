#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "foundation/SysUtil.h"
#include "platform/ui/Command.h"
#include "platform/ui/QtUiHooks.h"
#include "resources/CommandIds.h"
#include "toolkit/WindowHolder.h"

namespace {

constexpr UINT kClosed = ID_VIEWER_CLOSED;
constexpr UINT kRun = ID_PLAY;

// Reports its close to the owner, as the side windows do, and goes on using its
// own fields afterwards: freed too early, the sanitizer build catches it.
class ReportingWindow : public QWidget {
public:
    explicit ReportingWindow(CCmdTarget& owner) : m_owner(owner) {}
    int reports = 0;
    bool hiddenOnReturn = false;

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        SendCommand(m_owner, kClosed);
        ++reports;
        hiddenOnReturn = !isVisible();
    }

private:
    CCmdTarget& m_owner;
};

struct Owner : CCmdTarget {
    CWindowGraveyard graveyard;
    CWindowHolder<ReportingWindow> window{graveyard};
    std::function<void()> afterRelease;

    Owner() {
        OnCommand(kClosed, [this](UINT) {
            CWindowGraveyard::Scope handler(graveyard);
            window.Release();
            if (afterRelease) afterRelease();
        });
    }
    QPointer<ReportingWindow> Open() {
        auto* w = new ReportingWindow(*this);
        window.Attach(w);
        w->show();
        return w;
    }
};

void CloseSoon(QWidget* w) {
    QMetaObject::invokeMethod(w, [w] { w->close(); }, Qt::QueuedConnection);
}

}  // namespace

TEST(WindowHolder, ReleasedInsideANestedPumpGoesAfterItsHandlerReturned) {
    InstallQtUiHooks();
    Owner owner;
    QPointer<ReportingWindow> w = owner.Open();
    bool aliveAfterRound = true;
    owner.OnCommand(kRun, [&](UINT) {
        CWindowGraveyard::Scope run(owner.graveyard);
        CloseSoon(w);
        // The rounds of a long loop: the close arrives in the first one.
        for (int round = 0; round < 3 && w; ++round) {
            PumpPendingMessages();
            owner.graveyard.Collect();
            aliveAfterRound = !w.isNull();
        }
    });
    ASSERT_TRUE(DispatchCommand(owner, kRun));
    EXPECT_FALSE(aliveAfterRound);
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(owner.window);
    EXPECT_EQ(owner.graveyard.Waiting(), 0u);
}

TEST(WindowHolder, AHandlerThatStartsANestedLoopKeepsItsWindowUntilItReturns) {
    Owner owner;
    QPointer<ReportingWindow> w = owner.Open();
    bool aliveInNestedLoop = false;
    owner.afterRelease = [&] {
        // A message box's loop: the graveyard's timer fires in it and must wait.
        QEventLoop loop;
        QTimer::singleShot(150, &loop, &QEventLoop::quit);
        loop.exec();
        owner.graveyard.Collect();
        aliveInNestedLoop = !w.isNull();
    };
    w->close();
    EXPECT_TRUE(aliveInNestedLoop);
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(w->reports, 1);
    EXPECT_TRUE(w->hiddenOnReturn);
    // Back in the main loop, the timer finds it free to go.
    QElapsedTimer clock;
    clock.start();
    while (w && clock.elapsed() < 2000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_TRUE(w.isNull());
}

TEST(WindowHolder, ReplacingAndDestroyingLeaveNothingBehind) {
    QPointer<ReportingWindow> first, second;
    {
        Owner owner;
        first = owner.Open();
        second = owner.Open();  // attaching releases the first
        EXPECT_FALSE(first.isNull());
        EXPECT_FALSE(first->isVisible());
        EXPECT_EQ(owner.window.Get(), second.data());
        QCoreApplication::processEvents();
        EXPECT_TRUE(first.isNull());
    }
    EXPECT_TRUE(second.isNull());
}
