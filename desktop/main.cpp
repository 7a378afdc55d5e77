// kmr6650-tool: the desktop maintenance tool.
#include "app/UpdaterApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CUpdaterApp updater;
    return updater.Run();
}
