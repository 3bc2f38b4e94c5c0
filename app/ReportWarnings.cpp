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

void WarningBoxes::Add(std::string text) {
    if (text.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(text));
}

void WarningBoxes::Show(void* owner) {
    std::vector<std::string> shown;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shown.swap(waiting_);
    }
    for (const std::string& text : shown) ShowWarningBox(text, owner);
}

}  // namespace qwz
