// Program entry: one action from the command line ("-r", "-u", or a file to
// convert, after any "-v" N), or the main window when there is none. The exit
// code is always 0. "-h", "--help" and "/?" show how to use the program: the
// usage text on Linux, the window on Windows (where the window is what a
// start without an action shows). "--version" prints the name and version
// on Linux and shows them in a message on Windows, which has no console.
#include "app/CommandLine.h"
#include "app/ConvertFile.h"
#include "app/Functions.h"
#include "platform/ConversionSlot.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "platform/ProgramVersion.h"

#include <exception>
#include <new>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "app/window/Mainform.h"
#include "app/window/SelectionServer.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>
#else
#include "app/desktop/Notification.h"
#include "model/Qwzsaveparams.h"
#include "platform/PathText.h"

#include <cstdio>
#include <string_view>
#include <utility>
#endif

namespace qwz {
namespace {

void Register() {
    try {
        RegisterShellVerb(kDefaultTarget);
    } catch (...) {
        platform::ShowMessage("Rejestracja nie powiodła się. Powtórz instalację jako administrator.",
                              "QWZ Downgrader", platform::MessageIcon::Error, nullptr);
    }
}

void Unregister() {
    try {
        UnregisterShellVerb();
    } catch (...) {
        platform::DebugOutputA("downgrader unregister failed (no admin?)");
    }
}

#ifndef _WIN32
void PrintUsage() {
    std::fputs(
        "QWZ Downgrader: zapisuje pliki QWZ w starszej wersji formatu.\n"
        "\n"
        "Użycie:\n"
        "  qwz-downgrader [-v WERSJA] PLIK.qwz   przekonwertuj plik (domyślnie do wersji 203);\n"
        "                                         oryginał zostaje jako PLIK_org.qwz\n"
        "  qwz-downgrader -r                     dodaj polecenie menu kontekstowego\n"
        "  qwz-downgrader -u                     usuń polecenie menu kontekstowego\n"
        "  qwz-downgrader -h | --help | /?       pokaż tę pomoc\n"
        "  qwz-downgrader --version              pokaż wersję programu\n"
        "\n"
        "Plik w wersji docelowej lub starszej zostaje bez zmian. Program zawsze kończy się\n"
        "kodem 0; co się stało z plikiem, podaje w jednym wierszu na standardowym wyjściu błędów.\n",
        stdout);
}

// Skips and failures are told by the conversion's own debug line; a
// conversion that succeeded is told here, so every run says what it did.
// The last line, the result or the reason, is also shown as a desktop
// notification: started from a file manager there is no terminal to read.
void Convert(const std::filesystem::path& path, int target) {
    std::vector<std::pair<std::string, bool>> said;
    const platform::DebugSink previous = platform::SetThreadDebugSink(
        [&said](std::string_view text, bool wide) { said.emplace_back(std::string(text), wide); });
    ConversionOutcome outcome;
    {
        platform::ConversionSlot slot;
        outcome = ConvertAndReport(path, RequestFor(target, TQWZSaveParams()));
    }
    platform::SetThreadDebugSink(previous);
    if (outcome.status == ConversionStatus::Converted) {
        std::string line = "Przekonwertowano plik \"" + platform::PathForText(path) + "\" z wersji " +
                           std::to_string(outcome.fromVersion) + " do " + std::to_string(outcome.toVersion);
        if (!outcome.backup.empty()) line += ", oryginał: \"" + platform::PathForText(outcome.backup) + "\"";
        if (!outcome.reason.empty()) line += "; " + outcome.reason;
        said.emplace_back(line, true);
    }
    for (const auto& [text, wide] : said) {
        if (wide) platform::DebugOutputW(text);
        else platform::DebugOutputA(text);
    }
    if (!said.empty()) NotifyDesktop(said.back().first);
}
#endif

}  // namespace
}  // namespace qwz

#ifdef _WIN32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace qwz;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> wide;
    for (int i = 1; argv && i < argc; ++i) wide.emplace_back(argv[i]);
    if (argv) LocalFree(argv);

    std::vector<std::string> args;
    for (const std::wstring& w : wide) args.push_back(platform::WideToUtf8(w));
    const CommandLineAction action = ParseCommandLine(args);
    switch (action.kind) {
    case CommandLineAction::Register: Register(); break;
    case CommandLineAction::Unregister: Unregister(); break;
    case CommandLineAction::Convert: {
        // The process ends only once its own file is done, however long it
        // waits for its slot. The path goes on as the wide text it came as,
        // so any name opens.
        platform::ConversionSlot slot;
        ConvertFile(std::filesystem::path(wide[action.pathArg]), action.target, TQWZSaveParams());
        break;
    }
    case CommandLineAction::Embedding: ServeSelection(action.target); break;
    case CommandLineAction::Version:
        platform::ShowMessage(std::string("QWZ Downgrader ") + ProgramVersion(), "QWZ Downgrader",
                              platform::MessageIcon::Information);
        break;
    case CommandLineAction::OpenWindow:
    case CommandLineAction::Help:
        try {
            RunMainWindow();
        } catch (const std::bad_alloc&) {
            platform::ShowMessage("Za mało pamięci.", "Velmora QWZ Downgrader", platform::MessageIcon::Error);
        } catch (const std::exception& e) {
            platform::ShowMessage(e.what(), "Velmora QWZ Downgrader", platform::MessageIcon::Error);
        } catch (...) {
            platform::ShowMessage("", "Velmora QWZ Downgrader", platform::MessageIcon::Error);
        }
        break;
    }
    return 0;
}

#else

int main(int argc, char** argv) {
    using namespace qwz;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLineAction action = ParseCommandLine(args);
    switch (action.kind) {
    case CommandLineAction::Register: Register(); break;
    case CommandLineAction::Unregister: Unregister(); break;
    case CommandLineAction::Convert: Convert(std::filesystem::path(action.path), action.target); break;
    case CommandLineAction::OpenWindow:
    case CommandLineAction::Embedding:  // a COM server only on Windows
    case CommandLineAction::Help: PrintUsage(); break;
    case CommandLineAction::Version: std::printf("qwz-downgrader %s\n", ProgramVersion()); break;
    }
    return 0;
}

#endif
