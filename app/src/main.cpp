#include "panel/qt_view.h"
#include "trl4/app.h"

int main(int argc, char **argv) {
    return RunFrontPanel(argc, argv, panel::createQtView);
}
