#include "cli/CommandLine.h"

#include "platform/ProgramVersion.h"
#include "cli/Text.h"
#include "format/VersionTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>
#include <string_view>

namespace qwz::cli {
namespace {

constexpr const char* kTryHelp = "Pomoc: qwz --help";

// Polish labels for the parts of the help text that CLI11 writes itself.
void PolishFormatter(CLI::App& app) {
    auto fmt = app.get_formatter();
    fmt->label("Usage", "Użycie");
    fmt->label("OPTIONS", "OPCJE");
    fmt->label("SUBCOMMAND", "POLECENIE");
    fmt->label("SUBCOMMANDS", "POLECENIA");
    fmt->label("Positionals", "Argumenty");
    fmt->label("Subcommands", "Polecenia");
    fmt->label("REQUIRED", "WYMAGANE");
    fmt->label("TEXT", "TEKST");
    fmt->label("INT", "LICZBA");
    fmt->column_width(34);
}

// Applies one --drop name; false for a name that means nothing here.
bool ApplyDrop(DropSet& drop, const std::string& name) {
    for (size_t i = 0; i < kKeepFlagCount; ++i) {
        if (kKeepFlags[i].dropName && name == kKeepFlags[i].dropName) {
            drop.set(i);
            return true;
        }
    }
    return false;
}

bool SameAsciiLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// The --drop names, ", " between them; with `words`, each followed by its
// Polish words in brackets unless they only repeat the name ("uv").
std::string DropNames(bool words) {
    std::string text;
    for (const KeepFlag& flag : kKeepFlags) {
        if (!flag.dropName) continue;
        if (!text.empty()) text += ", ";
        text += flag.dropName;
        if (words && !SameAsciiLetters(flag.words, flag.dropName))
            text += std::string(" (") + flag.words + ")";
    }
    return text;
}

ParsedCommandLine UsageError(const std::string& message) {
    ParsedCommandLine r;
    r.exitCode = kExitUsage;
    r.err = "qwz: " + message + "\n" + kTryHelp + "\n";
    return r;
}

// CLI11's own messages are English; say the same in Polish, with only the
// user's own words taken from them: the argument after the last ": " of
// an extra argument, the option before the first ": " of a wrong count.
std::string PolishParseError(const CLI::ParseError& e) {
    std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        size_t colon = what.rfind(": ");
        return "nieznany argument: " + (colon == std::string::npos ? what : what.substr(colon + 2));
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        size_t colon = what.find(": ");
        std::string option = colon == std::string::npos ? "" : what.substr(0, colon) + " ";
        return "opcja " + option + "bez wartości albo z niewłaściwą liczbą wartości";
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e)) return "niewłaściwa wartość opcji";
    if (dynamic_cast<const CLI::RequiredError*>(&e)) return "brak wymaganego argumentu";
    return "błędny wiersz poleceń";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CLI::App app("qwz — sprawdzanie plików QWZ i zapis w starszych wersjach formatu", "qwz");
    PolishFormatter(app);
    // A path such as /projekty/hall.qwz is a path, not a Windows-style option.
    app.allow_windows_style_options(false);
    app.option_defaults()->group("Opcje");
    app.set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy działanie");
    bool showVersion = false;
    app.add_flag("--version", showVersion, "Pokazuje wersję programu");
    app.footer("Kody wyjścia: 0 — wszystko w porządku, 1 — któryś plik się nie powiódł "
               "albo jest uszkodzony, 2 — błędny wiersz poleceń.");

    std::vector<std::string> infoPaths, checkPaths, convertPaths, restorePaths;
    bool infoJson = false, checkJson = false, convertJson = false, restoreJson = false;
    std::string target;
    std::vector<std::string> drops;
    ParsedCommandLine r;

    CLI::App* info = app.add_subcommand("info", "Pokazuje zawartość plików (w folderach: ich plików *.qwz): "
                                                "wersję, punkt odniesienia, skalę wierzchołków, grupy, siatki "
                                                "i bloki danych dodatkowych");
    info->add_option("ŚCIEŻKI", infoPaths, "Pliki QWZ i foldery")->type_name("");
    info->add_flag("--recursive", r.options.recursive, "Wchodzi także do podfolderów");
    info->add_flag("--json", infoJson, "Wynik w formacie JSON");

    CLI::App* check = app.add_subcommand("check", "Czyta każdy plik (w folderach: ich pliki *.qwz) w całości "
                                                  "i zgłasza uszkodzenia (gdzie i co); kod wyjścia 1, gdy któryś "
                                                  "jest uszkodzony");
    check->add_option("ŚCIEŻKI", checkPaths, "Pliki QWZ i foldery")->type_name("");
    check->add_flag("--recursive", r.options.recursive, "Wchodzi także do podfolderów");
    check->add_flag("--json", checkJson, "Wynik w formacie JSON");

    CLI::App* convert = app.add_subcommand(
        "convert", "Zapisuje pliki i foldery (ich pliki *.qwz) w podanej wersji formatu, "
                   "na miejscu, z kopią oryginału pod nazwą *_org.qwz; w folderach pomija "
                   "kopie *_org.qwz leżące obok swoich oryginałów");
    const std::vector<int> written = WrittenVersions();
    convert->add_option("--to", target, "Wersja docelowa: " + VersionListText(written, " albo "))
        ->type_name("WERSJA");
    convert->add_option("--drop", drops, "Czego nie zachowywać, po przecinku: " + DropNames(true))
        ->delimiter(',')
        ->allow_extra_args(false)  // one list per --drop; what follows is a path
        ->type_name("RODZAJE");
    convert->add_flag("--no-backup", r.options.noBackup, "Bez kopii oryginału (*_org.qwz)");
    convert->add_flag("--recursive", r.options.recursive, "Wchodzi także do podfolderów");
    convert->add_flag("--dry-run", r.options.dryRun,
                      "Niczego nie zapisuje; mówi, co stałoby się z każdym plikiem i co zostałoby usunięte");
    convert->add_flag("--json", convertJson, "Wynik w formacie JSON");
    convert->add_option("ŚCIEŻKI", convertPaths, "Pliki QWZ i foldery")->type_name("");

    CLI::App* restore = app.add_subcommand(
        "restore", "Przywraca oryginały: kopia NAZWA_org.qwz wraca pod nazwę NAZWA.qwz, a plik "
                   "przekonwertowany znika; w folderach każdy plik z kopią obok siebie i każda kopia "
                   "bez swojego pliku");
    restore->add_flag("--recursive", r.options.recursive, "Wchodzi także do podfolderów");
    restore->add_flag("--dry-run", r.options.dryRun, "Niczego nie zmienia; mówi, co stałoby się z każdym plikiem");
    restore->add_flag("--json", restoreJson, "Wynik w formacie JSON");
    restore->add_option("ŚCIEŻKI", restorePaths, "Pliki QWZ, ich kopie *_org.qwz i foldery")->type_name("");
    for (CLI::App* sub : {info, check, convert, restore}) {
        sub->group("Polecenia");
        sub->set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy działanie")->group("Opcje");
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        ParsedCommandLine help;
        help.out = app.help();
        return help;
    } catch (const CLI::ParseError& e) {
        return UsageError(PolishParseError(e));
    }

    if (showVersion) {
        ParsedCommandLine v;
        v.out = std::string("qwz ") + ProgramVersion() + "\n";
        return v;
    }

    Options& o = r.options;
    std::vector<std::string>* paths = nullptr;
    if (info->parsed()) {
        o.command = Command::Info;
        o.json = infoJson;
        paths = &infoPaths;
    } else if (check->parsed()) {
        o.command = Command::Check;
        o.json = checkJson;
        paths = &checkPaths;
    } else if (convert->parsed()) {
        o.command = Command::Convert;
        o.json = convertJson;
        paths = &convertPaths;
        if (target.empty()) return UsageError("podaj wersję docelową: --to " + VersionListText(written, " albo "));
        const auto chosen = std::find_if(written.begin(), written.end(),
                                         [&target](int v) { return target == std::to_string(v); });
        if (chosen == written.end())
            return UsageError("nieobsługiwana wersja docelowa \"" + target + "\"; dozwolone: " +
                              VersionListText(written));
        o.target = *chosen;
        for (const std::string& d : drops)
            if (!ApplyDrop(o.drop, d))
                return UsageError("nieznany rodzaj w --drop: \"" + d + "\"; dozwolone: " + DropNames(false));
    } else if (restore->parsed()) {
        o.command = Command::Restore;
        o.json = restoreJson;
        paths = &restorePaths;
    } else {
        return UsageError("podaj polecenie: info, check, convert albo restore");
    }
    if (paths->empty()) return UsageError("podaj co najmniej jeden plik");
    for (const std::string& p : *paths) {
        if (p.empty()) return UsageError("pusta ścieżka");
        o.paths.push_back(PathFromUtf8(p));
    }
    r.run = true;
    return r;
}

}  // namespace qwz::cli
