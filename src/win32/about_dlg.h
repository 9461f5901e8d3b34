// SPDX-License-Identifier: MIT
// The About box: dialog resource IDD_ABOUT (the icon, the version line, the maker's notice, OK).
#pragma once

#include "win32/dialog.h"
#include "win32/resource_ids.h"

namespace tarvex::win32 {

class CAboutDlg final : public Dialog {
public:
    CAboutDlg() : Dialog(IDD_ABOUT) {}

protected:
    bool OnInit() override {
        CentreOnOwner();
        return true;
    }
};

} // namespace tarvex::win32
