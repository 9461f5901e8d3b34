// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "ui/tarvex_app.h"

#include <QApplication>

#include <string>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The simulator probe (src/simlink) is not there yet: until it is, no netlist name is offered.
    tarvex::ui::CTarvexApp tarvex([] { return std::string(); });
    return tarvex.InitInstance() ? 0 : 1;
}
