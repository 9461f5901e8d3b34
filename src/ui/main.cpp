// SPDX-License-Identifier: MIT
// tarvex: the window.
#include "simlink/simulator_probe.h"
#include "ui/tarvex_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The probe reads the simulator's window title and may move the working directory.
    tarvex::ui::CTarvexApp tarvex([] { return tarvex::ProbeSimulatorWindow().hint.netlistName; });
    return tarvex.InitInstance() ? 0 : 1;
}
