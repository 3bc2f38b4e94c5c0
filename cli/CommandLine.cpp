#include "cli/CommandLine.h"

#include "platform/ProgramVersion.h"
#include "cli/Text.h"
#include "format/VersionTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <regex>
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

// Applies one --drop value, a list of names with commas between them and
// spaces allowed around each ("lines, uv"). Returns an error, or empty.
std::string ApplyDrops(DropSet& drop, const std::string& list, const std::string& allowed) {
    size_t begin = 0;
    for (;;) {
        const size_t comma = std::min(list.find(',', begin), list.size());
        std::string name = list.substr(begin, comma - begin);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        if (name.empty()) return "pusty rodzaj w --drop \"" + list + "\"; dozwolone: " + allowed;
        size_t i = 0;
        while (i < kKeepFlagCount && !(kKeepFlags[i].dropName && name == kKeepFlags[i].dropName)) ++i;
        if (i == kKeepFlagCount) return "nieznany rodzaj w --drop: \"" + name + "\"; dozwolone: " + allowed;
        drop.set(i);
        if (comma == list.size()) return {};
        begin = comma + 1;
    }
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

std::smatch Match(const std::string& text, const char* pattern) {
    std::smatch m;
    std::regex_match(text, m, std::regex(pattern));
    return m;
}

// An argument that the parser did not expect: a command that does not
// exist, an option that the command does not have (or that stands before
// the command's name), or a word where none is taken.
std::string UnexpectedArgument(const CLI::App& app) {
    const std::vector<std::string> extra = app.remaining(true);
    if (extra.empty()) return "nieoczekiwany argument";
    const std::string& first = extra.front();
    const bool beforeCommand = !app.remaining(false).empty();
    const std::vector<const CLI::App*> commands = app.get_subcommands([](const CLI::App*) { return true; });
    if (first.size() > 1 && first[0] == '-') {
        if (beforeCommand) {
            const std::string name = first.substr(0, first.find('='));
            for (const CLI::App* command : commands)
                if (command->get_option_no_throw(name))
                    return "opcja " + name + " stoi przed nazwą polecenia; podaj ją po niej";
            return "nieznana opcja: " + first;
        }
        return "nieznana opcja polecenia " + app.get_subcommands().front()->get_name() + ": " + first;
    }
    if (app.get_subcommands().empty()) {
        std::string names;
        for (const CLI::App* command : commands) names += (names.empty() ? "" : ", ") + command->get_name();
        return "nieznane polecenie: " + first + "; dostępne: " + names;
    }
    return "nieoczekiwany argument: " + first;
}

// CLI11's own messages are English; each kind of its errors is said in
// Polish instead, with only the names taken from its text, whose shape
// each kind fixes. Nothing of the English text is ever shown.
std::string PolishParseError(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    std::smatch m;
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) return UnexpectedArgument(app);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        if (!(m = Match(what, "(\\S+): \\d+ required (.*) missing")).empty())
            return "opcja " + m.str(1) + " wymaga wartości (" + m.str(2) + ")";
        if (!(m = Match(what, "(\\S+): At Most 1 required but received \\d+")).empty())
            return "opcję " + m.str(1) + " można podać tylko raz";
        if (!(m = Match(what, "(\\S+): At (Most|least) (\\d+) required but received (\\d+)")).empty())
            return "opcja " + m.str(1) + (m.str(2) == "Most" ? " przyjmuje najwyżej " : " wymaga co najmniej ") +
                   m.str(3) + " wartości, podano " + m.str(4);
        if (!(m = Match(what, "Expected (exactly|at least) (\\d+) arguments to (\\S+), got (\\d+)")).empty())
            return "opcja " + m.str(3) + (m.str(1) == "exactly" ? " wymaga dokładnie " : " wymaga co najmniej ") +
                   m.str(2) + " wartości, podano " + m.str(4);
        if (!(m = Match(what, "(\\S+) was given a disallowed flag override")).empty())
            return "przełącznik " + m.str(1) + " nie przyjmuje wartości";
        return "opcja ma niewłaściwą liczbę wartości";
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e)) {
        if (!(m = Match(what, "Could not convert: (\\S+) = (.*)")).empty() ||
            !(m = Match(what, "(\\S+): (too many inputs for a flag|Should be true/false or a number)")).empty())
            return "przełącznik " + m.str(1) + " nie przyjmuje wartości";
        if (!(m = Match(what, "The value (.*) is not an allowed value for (\\S+)")).empty())
            return "niedozwolona wartość \"" + m.str(1) + "\" opcji " + m.str(2);
        return "niewłaściwa wartość opcji";
    }
    if (dynamic_cast<const CLI::ValidationError*>(&e)) {
        if (!(m = Match(what, "(\\S+): .*")).empty()) return "niewłaściwa wartość opcji " + m.str(1);
        return "niewłaściwa wartość opcji";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        if (!(m = Match(what, "(\\S+) is required")).empty()) return "brak wymaganej opcji " + m.str(1);
        return "brak wymaganego argumentu";
    }
    if (dynamic_cast<const CLI::RequiresError*>(&e) && !(m = Match(what, "(\\S+) requires (\\S+)")).empty())
        return "opcja " + m.str(1) + " wymaga opcji " + m.str(2);
    if (dynamic_cast<const CLI::ExcludesError*>(&e) && !(m = Match(what, "(\\S+) excludes (\\S+)")).empty())
        return "opcji " + m.str(1) + " nie można podać razem z " + m.str(2);
    if (dynamic_cast<const CLI::InvalidError*>(&e)) return "za dużo argumentów";
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
    // One list per --drop (what follows it is a path); --drop may be given
    // again for more.
    convert->add_option("--drop", drops, "Czego nie zachowywać, po przecinku: " + DropNames(true))
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("RODZAJ[,RODZAJ...]");
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
    restore->add_flag("--keep-newer", r.options.keepNewer,
                      "Plik zmieniony po konwersji zostaje obok jako NAZWA (nowszy).qwz, a kopia wraca na jego "
                      "miejsce (bez tej opcji taki plik nie jest przywracany)");
    restore->add_flag("--dry-run", r.options.dryRun, "Niczego nie zmienia; mówi, co stałoby się z każdym plikiem");
    restore->add_flag("--json", restoreJson, "Wynik w formacie JSON");
    restore->add_option("ŚCIEŻKI", restorePaths, "Pliki QWZ, ich kopie *_org.qwz i foldery")->type_name("");
    for (CLI::App* sub : {info, check, convert, restore}) {
        sub->group("Polecenia");
        sub->set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy działanie")->group("Opcje");
    }

    // After "--" that follows the command's name every argument is a path,
    // whatever it looks like. The parser takes it so only while no path
    // came before it, so the split is made here.
    std::vector<std::string> options = args, marked;
    const auto named = std::find_if(options.begin(), options.end(),
                                    [](const std::string& a) { return a.empty() || a[0] != '-'; });
    if (named != options.end()) {
        const auto mark = std::find(named + 1, options.end(), std::string("--"));
        if (mark != options.end()) {
            marked.assign(mark + 1, options.end());
            options.erase(mark, options.end());
        }
    }
    try {
        std::vector<std::string> reversed(options.rbegin(), options.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        ParsedCommandLine help;
        help.out = app.help();
        return help;
    } catch (const CLI::ParseError& e) {
        return UsageError(PolishParseError(e, app));
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
        for (const std::string& d : drops) {
            const std::string error = ApplyDrops(o.drop, d, DropNames(false));
            if (!error.empty()) return UsageError(error);
        }
    } else if (restore->parsed()) {
        o.command = Command::Restore;
        o.json = restoreJson;
        paths = &restorePaths;
    } else {
        return UsageError("podaj polecenie: info, check, convert albo restore");
    }
    paths->insert(paths->end(), marked.begin(), marked.end());
    if (paths->empty()) return UsageError("podaj co najmniej jeden plik");
    for (const std::string& p : *paths) {
        if (p.empty()) return UsageError("pusta ścieżka");
        o.paths.push_back(PathFromUtf8(p));
    }
    r.run = true;
    return r;
}

}  // namespace qwz::cli
