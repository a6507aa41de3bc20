// One QApplication for a whole widget test program, created before the first test
// and destroyed after the last; the platform comes from QT_QPA_PLATFORM.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtAppEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "talvern-tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

testing::Environment* const g_qtApp = testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace
