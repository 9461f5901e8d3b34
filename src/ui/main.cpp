// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "simlink/simulator_probe.h"
#include "ui/tarvex_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarvex::ui::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint; });
    return tarvex.InitInstance() ? 0 : 1;
}
