// The least a Qt widgets program does to show a window: an empty main
// window, quitting once it has been painted. The GUI benchmark times its
// start beside the program's own.
#include <QApplication>
#include <QMainWindow>

#include "app/quit_when_painted.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1200, 720);
    window.installEventFilter(new officerecords::app::quit_when_painted(&window));
    window.show();
    return QApplication::exec();
}
