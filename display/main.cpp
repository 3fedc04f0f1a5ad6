#include "Velisto.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    lm::Velisto window;
    window.show();
    return QApplication::exec();
}
