// SPDX-License-Identifier: MIT
// The application object: starts the program and runs the main form modally.
#pragma once

#include "ui/app_state.h"
#include "ui/user_dialogs.h"

namespace tarvex::ui {

class CTarvexApp {
public:
    // probe is the simulator probe run at start-up and by every Process.
    explicit CTarvexApp(SimulatorProbe probe);

    // Starts the socket layer (a failure is reported and ends the program), probes the simulator,
    // names the profile ("Quendale" / the executable's name) and runs the form until it closes.
    // Returns false when the program could not start.
    bool InitInstance();

    AppState& state() { return m_state; }

private:
    SimulatorProbe m_probe;
    AppState m_state;
    QtUserDialogs m_dialogs;
};

} // namespace tarvex::ui
