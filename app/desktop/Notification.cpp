#include "app/desktop/Notification.h"

#include "app/desktop/RunTool.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace qwz {
namespace {

constexpr const char* kTitle = "QWZ Downgrader";
constexpr const char* kIcon = "qwz-downgrader";
constexpr int kSeconds = 5;

// The body may hold markup for the servers that take it: a file name's
// & < > are shown as they are.
std::string BodyText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

// Whether this session has a message bus that a notification could reach:
// its address given, or the bus of the user's runtime folder. Without one
// (a script over ssh, a service, a build machine) no sender is started:
// each start would cost the conversion tens of milliseconds for nothing.
bool SessionBusThere() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

std::string VariantString(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

void NotifyDesktop(const std::string& text) {
    if (isatty(STDERR_FILENO) || !SessionBusThere()) return;
    const std::string body = BodyText(text);
    const ToolRun sent = RunTool({"notify-send", "--app-name=" + std::string(kTitle), "--icon=" + std::string(kIcon),
                                  kTitle, body},
                                 kSeconds);
    if (sent != ToolRun::NotFound) return;
    RunTool({"gdbus", "call", "--session", "--timeout", std::to_string(kSeconds), "--dest",
             "org.freedesktop.Notifications", "--object-path", "/org/freedesktop/Notifications", "--method",
             "org.freedesktop.Notifications.Notify", VariantString(kTitle), "0", VariantString(kIcon),
             VariantString(kTitle), VariantString(body), "[]", "{}", "-1"},
            kSeconds + 1);
}

}  // namespace qwz
