#include "gui/programstartup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return tessaloom::gui::RunProgram();
}
