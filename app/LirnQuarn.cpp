#include "app/Main.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    TFrmMain form;
    form.show();
    return application.exec();
}
