// The floor for start-up measurements: the smallest Qt Widgets program that shows one
// window and reaches its event loop. With TRL4_STARTUP_PROBE set it prints the moment its
// event loop first runs (CLOCK_MONOTONIC, ns) as p_trl4 does, and quits.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("ТРЛ4"));
    window.resize(530, 415);
    window.show();
    if (std::getenv("TRL4_STARTUP_PROBE") != nullptr) {
        QTimer::singleShot(0, &app, [&app] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("trl4-ready %lld\n",
                        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            app.quit();
        });
    }
    return app.exec();
}
