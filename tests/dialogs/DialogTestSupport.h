#pragma once
// Driving modal dialogs in tests: an action runs on a dialog of a given class once
// its modal loop shows it, and a fixture gives each test its own settings folder,
// scripted message boxes and file dialogs, and "Setting.ini" put back afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "foundation/IniCreate.h"
#include "foundation/PathUtil.h"
#include "platform/ui/UiServices.h"
#include "tests/support/TestSupport.h"

namespace dialogs_test {

// Runs action on the first visible top-level widget of class T that appears, from the
// event loop (so inside the modal loop that shows it). Gives up after five seconds.
template <class T>
void WhenShown(std::function<void(T&)> action) {
    auto* poll = new QTimer;
    auto started = std::make_shared<int>(0);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, action, started] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* target = dynamic_cast<T*>(w);
            if (!target || !target->isVisible()) continue;
            poll->stop();
            poll->deleteLater();
            action(*target);
            return;
        }
        if (++*started > 1000) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "no dialog appeared";
        }
    });
    poll->start();
}

class DialogFixture : public testing::Test {
protected:
    void SetUp() override {
        m_ini = NativePath(GetSettingIniPath());
        m_hadIni = std::filesystem::exists(m_ini);
        if (m_hadIni) m_iniBytes = talvern::test::ReadFileBytes(m_ini);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_ini.string() + ".new", ec);
        if (m_hadIni) talvern::test::WriteFileBytes(m_ini, m_iniBytes);
        else std::filesystem::remove(m_ini, ec);
    }

    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    talvern::test::ScopedConfigDir config;
    ScopedScriptedUi script;
    talvern::test::TempDir dir;

private:
    std::filesystem::path m_ini;
    bool m_hadIni = false;
    std::string m_iniBytes;
};

}  // namespace dialogs_test
