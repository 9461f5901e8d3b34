// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "ui/tarvex_app.h"

#include <QApplication>

#include <string>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarvex::ui::CTarvexApp tarvex([] { return std::string(); });
    return tarvex.InitInstance() ? 0 : 1;
}
