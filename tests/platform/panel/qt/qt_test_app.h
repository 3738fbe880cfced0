// One QApplication for a test program, on the offscreen platform unless told otherwise.
// It is made on first use and destroyed when the tests end, before static destructors run
// (Qt's own statics must outlive it).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace trl4::panelqt::test {

class QtEnvironment : public ::testing::Environment {
  public:
    static QApplication &app() {
        if (instance() == nullptr) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
            instance() = std::make_unique<QApplication>(argc(), argv());
        }
        return *instance();
    }
    void TearDown() override { instance().reset(); }

  private:
    static std::unique_ptr<QApplication> &instance() {
        static std::unique_ptr<QApplication> app;
        return app;
    }
    static int &argc() {
        static int count = 1;
        return count;
    }
    static char **argv() {
        static char name[] = "trl4_panel_qt_test";
        static char *args[] = {name, nullptr};
        return args;
    }
};

inline const bool kEnvironmentRegistered =
    (::testing::AddGlobalTestEnvironment(new QtEnvironment), true);

inline QApplication &app() {
    return QtEnvironment::app();
}

// Fixtures whose members are widgets derive from this first, so the application exists
// before those members are built.
struct WithApp {
    WithApp() { app(); }
};

}  // namespace trl4::panelqt::test
