// The floor for start-up measurements: the smallest Qt Widgets program that shows one
// window and reaches its event loop. With TRL4_STARTUP_PROBE set it prints the moment its
// event loop first runs (CLOCK_MONOTONIC, ns) as p_trl4 does, and quits; with --drawn it
// waits until its window has been painted once, as the front panel's have been by then.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

void report() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("trl4-ready %lld\n",
                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
    QCoreApplication::quit();
}

// Reports at the loop pass after the window's first paint.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, qApp, report);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char **argv) {
    const bool drawn = argc > 1 && std::strcmp(argv[1], "--drawn") == 0;
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("ТРЛ4"));
    FirstPaint firstPaint;
    window.resize(530, 415);
    if (std::getenv("TRL4_STARTUP_PROBE") != nullptr) {
        if (drawn) {
            window.installEventFilter(&firstPaint);
        } else {
            QTimer::singleShot(0, &app, report);
        }
    }
    window.show();
    return app.exec();
}
