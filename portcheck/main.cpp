// kmr6650-portcheck: checks the serial line before work and shows the findings in a window.
#include "app/DlgPortCheck.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CDlgPortCheck window;
    window.show();
    return app.exec();
}
