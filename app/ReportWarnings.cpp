#include "app/ReportWarnings.h"

#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

namespace qwz {

void ReportWarnings(const Warnings& warnings, WarningBox box) {
    for (const Warning& w : warnings) {
        platform::DebugOutputW(w.debugLine);
        if (w.boxed && box == WarningBox::Show) ShowWarningBox(w.debugLine);
    }
}

std::string WarningBoxText(const Warnings& warnings) {
    for (const Warning& w : warnings)
        if (w.boxed) return w.debugLine;
    return {};
}

void ShowWarningBox(const std::string& text, void* owner) {
    platform::ShowMessage(text, "Velmora QWZ Downgrader", platform::MessageIcon::Warning, owner);
}

}  // namespace qwz
