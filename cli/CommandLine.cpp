#include "cli/CommandLine.h"

#include "platform/ProgramVersion.h"
#include "cli/Text.h"
#include "cli/HelpFormatter.h"
#include "cli/ParseError.h"
#include "format/VersionTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string_view>

namespace qwz::cli {
namespace {

constexpr const char* kTryHelp = "Pomoc: qwz --help";

// The help laid out for `columns`, with Polish labels for the parts of it
// that CLI11 writes itself.
void PolishFormatter(CLI::App& app, size_t columns) {
    auto fmt = std::make_shared<HelpFormatter>(columns, 34);
    app.formatter(fmt);
    fmt->label("Usage", "Użycie");
    fmt->label("OPTIONS", "OPCJE");
    fmt->label("SUBCOMMAND", "POLECENIE");
    fmt->label("SUBCOMMANDS", "POLECENIA");
    fmt->label("Positionals", "Argumenty");
    fmt->label("Subcommands", "Polecenia");
    fmt->label("REQUIRED", "WYMAGANE");
    fmt->label("TEXT", "TEKST");
    fmt->label("INT", "LICZBA");
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

// `command`: the command the error belongs to, whose help it points at.
ParsedCommandLine UsageError(const std::string& message, const std::string& command = {}) {
    ParsedCommandLine r;
    r.exitCode = kExitUsage;
    r.err = "qwz: " + message + "\n" + (command.empty() ? kTryHelp : "Pomoc: qwz " + command + " --help") + "\n";
    return r;
}

const char* CommandName(Command c) {
    switch (c) {
    case Command::Info: return "info";
    case Command::Check: return "check";
    case Command::Convert: return "convert";
    case Command::Restore: return "restore";
    case Command::Watch: return "watch";
    case Command::None: break;
    }
    return "";
}

// The command line's definition, with the variables it fills.
struct Definition {
    CLI::App app{"qwz — sprawdzanie plików QWZ i zapis w starszych wersjach formatu", "qwz"};
    CLI::App* help = nullptr;
    CLI::App* info = nullptr;
    CLI::App* check = nullptr;
    CLI::App* convert = nullptr;
    CLI::App* restore = nullptr;
    CLI::App* watch = nullptr;
    bool showVersion = false;
    std::string helpTopic, target, jobs, settle, poll, out;
    std::vector<std::string> drops, paths;
    Options options;
};

// The options every command that reads files takes.
void AddWalkOptions(CLI::App* command, Definition& d, const char* pathsText) {
    command->add_option("ŚCIEŻKI", d.paths, pathsText)->type_name("");
    command->add_flag("--recursive", d.options.recursive, "Wchodzi także do podfolderów");
}

void AddReportOptions(CLI::App* command, Definition& d) {
    command->add_flag("--json", d.options.json, "Wynik w formacie JSON: jeden dokument na końcu");
    command->add_flag("--json-lines", d.options.jsonLines,
                      "Wynik w formacie JSON, obiekt w wierszu: każdy plik, gdy jest gotowy, a na końcu "
                      "podsumowanie (dokument --json bez \"files\")");
    command->add_flag("-q,--quiet", d.options.quiet, "Tylko błędy i podsumowanie");
}

// What a conversion writes: the version, what to leave out, the backup.
void AddTargetOptions(CLI::App* command, Definition& d) {
    command->add_option("--to", d.target, "Wersja docelowa: " + VersionListText(WrittenVersions(), " albo "))
        ->type_name("WERSJA");
    // One list per --drop (what follows it is a path); --drop may be given
    // again for more.
    command->add_option("--drop", d.drops, "Czego nie zachowywać, po przecinku: " + DropNames(true))
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("RODZAJ[,RODZAJ...]");
    command->add_flag("--no-backup", d.options.noBackup, "Bez kopii oryginału (*_org.qwz)");
    command->add_flag("--fail-on-loss", d.options.failOnLoss,
                      "Plik, z którego konwersja usunęłaby jakąkolwiek zawartość (to, co convert --dry-run wymienia "
                      "jako usunięte), nie jest konwertowany i kończy się błędem would-lose");
}

void DefineWatch(Definition& d) {
    d.watch = d.app.add_subcommand(
        "watch", "Pilnuje folderów (i ich podfolderów), by pliki *.qwz były w podanej wersji. Zapisuje w niej "
                 "to, co w nich jest, i to, co się pojawi (skopiowane, zapisane pod inną nazwą i przemianowane, "
                 "zapisywane powoli), tak jak convert, gdy plik jest kompletny (żaden program nie ma go otwartego "
                 "do zapisu i nie zmienił się przez czas --settle). Pliki robocze (~$..., *.tmp, blokady), kopie "
                 "*_org.qwz i pliki już w wersji docelowej zostawia; nie wchodzi w dowiązania. Działa do Ctrl+C");
    AddTargetOptions(d.watch, d);
    d.watch->add_option("--settle", d.settle, "Ile sekund plik musi pozostać bez zmian przed konwersją; domyślnie 5")
        ->type_name("SEKUNDY");
    d.watch->add_option("--poll", d.poll,
                        "Czyta foldery co tyle sekund zamiast czekać na powiadomienia systemu (udziały sieciowe); "
                        "gdzie system ich nie daje, domyślnie co 10")
        ->type_name("SEKUNDY");
    d.watch->add_flag("--json-lines", d.options.jsonLines,
                      "Wynik w formacie JSON, obiekt w wierszu: każdy plik, gdy jest gotowy");
    d.watch->add_flag("-q,--quiet", d.options.quiet, "Tylko błędy");
    // Refused with its reason below rather than as an unknown option.
    d.watch->add_flag("--json", d.options.json)->group("");
    d.watch->add_option("FOLDERY", d.paths, "Foldery do pilnowania")->type_name("");
}

void DefineCommands(Definition& d) {
    CLI::App& app = d.app;
    d.help = app.add_subcommand("help", "Pokazuje pomoc programu albo podanego polecenia");
    d.help->add_option("POLECENIE", d.helpTopic, "info, check, convert, restore albo watch")->type_name("");
    d.info = app.add_subcommand("info", "Pokazuje zawartość plików (w folderach: ich plików *.qwz): "
                                        "wersję, punkt odniesienia, skalę wierzchołków, grupy, siatki, "
                                        "bloki danych dodatkowych i największą zmianę współrzędnej "
                                        "wierzchołka przy zapisie w każdej starszej wersji");
    AddWalkOptions(d.info, d, "Pliki QWZ i foldery");
    AddReportOptions(d.info, d);
    d.check = app.add_subcommand("check", "Czyta każdy plik (w folderach: ich pliki *.qwz) w całości "
                                          "i zgłasza uszkodzenia (gdzie i co); kod wyjścia 1, gdy któryś "
                                          "jest uszkodzony");
    AddWalkOptions(d.check, d, "Pliki QWZ i foldery");
    AddReportOptions(d.check, d);
    d.convert = app.add_subcommand(
        "convert", "Zapisuje pliki i foldery (ich pliki *.qwz) w podanej wersji formatu, "
                   "na miejscu, z kopią oryginału pod nazwą *_org.qwz; w folderach pomija "
                   "kopie *_org.qwz leżące obok swoich oryginałów");
    AddTargetOptions(d.convert, d);
    d.convert->add_flag("--dry-run", d.options.dryRun,
                        "Niczego nie zapisuje; mówi, co stałoby się z każdym plikiem, co zostałoby usunięte "
                        "i o ile najwyżej przesunęłaby się współrzędna wierzchołka");
    d.convert->add_option("--out", d.out,
                          "Zapisuje przekonwertowane drzewo w tym folderze (te same ścieżki względem każdego "
                          "podanego folderu; podany plik trafia do FOLDER/jego-nazwa), a pliki źródłowe zostawia "
                          "bez zmian i bez kopii *_org.qwz; pliki już w wersji docelowej kopiuje, kopii *_org.qwz "
                          "ze źródeł nie; plik istniejący w FOLDERZE zastępuje tylko wtedy, gdy jest starszy od "
                          "źródła")
        ->type_name("FOLDER");
    d.convert->add_flag("--force", d.options.force,
                        "Z --out: zastępuje pliki w folderze docelowym także wtedy, gdy nie są starsze od źródła");
    d.convert->add_option("-j,--jobs", d.jobs, "Ile plików naraz (od 1 do 256); domyślnie tyle, ile procesorów")
        ->type_name("N");
    AddReportOptions(d.convert, d);
    AddWalkOptions(d.convert, d, "Pliki QWZ i foldery");
    d.restore = app.add_subcommand(
        "restore", "Przywraca oryginały: kopia NAZWA_org.qwz wraca pod nazwę NAZWA.qwz, a plik "
                   "przekonwertowany znika; w folderach każdy plik z kopią obok siebie i każda kopia "
                   "bez swojego pliku");
    d.restore->add_flag("--keep-newer", d.options.keepNewer,
                        "Plik zmieniony po konwersji zostaje obok jako NAZWA (nowszy).qwz, a kopia wraca na jego "
                        "miejsce (bez tej opcji taki plik nie jest przywracany)");
    d.restore->add_flag("--dry-run", d.options.dryRun, "Niczego nie zmienia; mówi, co stałoby się z każdym plikiem");
    AddReportOptions(d.restore, d);
    AddWalkOptions(d.restore, d, "Pliki QWZ, ich kopie *_org.qwz i foldery");
    DefineWatch(d);
    for (CLI::App* sub : {d.help, d.info, d.check, d.convert, d.restore, d.watch}) {
        sub->group("Polecenia");
        sub->set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy działanie")->group("Opcje");
    }
}

void Define(Definition& d, size_t helpColumns) {
    CLI::App& app = d.app;
    PolishFormatter(app, helpColumns);
    // A path such as /projekty/hall.qwz is a path, not a Windows-style option.
    app.allow_windows_style_options(false);
    app.option_defaults()->group("Opcje");
    app.set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy działanie");
    app.add_flag("--version", d.showVersion, "Pokazuje wersję programu");
    app.footer("Kody wyjścia: 0 — wszystko w porządku, 1 — któryś plik się nie powiódł albo jest uszkodzony, "
               "2 — błędny wiersz poleceń, 3 — nie można zapisać wyniku na standardowe wyjście, "
               "130 — przerwane klawiszami Ctrl+C (SIGINT), 141 — odbiorca zamknął standardowe wyjście (SIGPIPE), "
               "143 — przerwane sygnałem SIGTERM.");
    DefineCommands(d);
}

// The command the words name (the first word that is one), for the help an
// error points at; empty when none does.
std::string CommandNamed(const Definition& d, const std::vector<std::string>& words) {
    for (const std::string& w : words)
        for (const CLI::App* command : {d.info, d.check, d.convert, d.restore, d.watch})
            if (w == command->get_name()) return w;
    return {};
}

// "--name=value" where the parser would take the value wrongly: a switch
// given a value (even "true"), or an option whose value after "=" is empty
// (the parser would take the next word instead). Empty when none.
std::string RefusedValue(const Definition& d, const std::vector<std::string>& words) {
    for (const std::string& w : words) {
        const size_t eq = w.find('=');
        if (w.rfind("--", 0) != 0 || eq == std::string::npos) continue;
        const std::string name = w.substr(0, eq);
        const std::vector<const CLI::App*> scopes{&d.app, d.help, d.info, d.check, d.convert, d.restore, d.watch};
        for (const CLI::App* scope : scopes) {
            const CLI::Option* option = scope->get_option_no_throw(name);
            if (!option) continue;
            if (option->get_expected_max() == 0) return "przełącznik " + name + " nie przyjmuje wartości";
            if (eq + 1 == w.size()) return "pusta wartość opcji " + name + " po znaku =";
            break;
        }
    }
    return {};
}

// After "--" that follows the command's name every argument is a path,
// whatever it looks like. The parser takes it so only while no path came
// before it, so the split is made here: `options` keeps what comes before.
std::vector<std::string> SplitMarkedPaths(std::vector<std::string>& options) {
    std::vector<std::string> marked;
    const auto named = std::find_if(options.begin(), options.end(),
                                    [](const std::string& a) { return a.empty() || a[0] != '-'; });
    if (named != options.end()) {
        const auto mark = std::find(named + 1, options.end(), std::string("--"));
        if (mark != options.end()) {
            marked.assign(mark + 1, options.end());
            options.erase(mark, options.end());
        }
    }
    return marked;
}

ParsedCommandLine HelpText(const std::string& text) {
    ParsedCommandLine help;
    help.out = text;
    return help;
}

// `qwz help [COMMAND]`, taken before the parser, which would read a
// command's name after it as that command.
ParsedCommandLine HelpCommand(const Definition& d, const std::vector<std::string>& topics) {
    if (topics.empty()) return HelpText(d.app.help());
    if (topics.size() > 1) return UsageError("podaj jedno polecenie, nie " + std::to_string(topics.size()), "help");
    for (const CLI::App* command : {d.info, d.check, d.convert, d.restore, d.watch, d.help})
        if (command->get_name() == topics[0]) return HelpText(command->help("qwz"));
    return UsageError("nieznane polecenie: " + topics[0] + "; dostępne: info, check, convert, restore, watch");
}

// The convert (and watch) options that the parser leaves as text; `name`:
// the command, whose help an error points at.
ParsedCommandLine ConvertValues(const Definition& d, Options& o, const std::string& name) {
    const std::vector<int> written = WrittenVersions();
    if (d.target.empty())
        return UsageError("podaj wersję docelową: --to " + VersionListText(written, " albo "), name);
    const auto chosen = std::find_if(written.begin(), written.end(),
                                     [&d](int v) { return d.target == std::to_string(v); });
    if (chosen == written.end())
        return UsageError("nieobsługiwana wersja docelowa \"" + d.target + "\"; dozwolone: " +
                          VersionListText(written), name);
    o.target = *chosen;
    for (const std::string& drop : d.drops) {
        const std::string error = ApplyDrops(o.drop, drop, DropNames(false));
        if (!error.empty()) return UsageError(error, name);
    }
    if (!d.jobs.empty()) {
        const bool digits = d.jobs.size() <= 3 && d.jobs.find_first_not_of("0123456789") == std::string::npos;
        const unsigned n = digits ? unsigned(std::stoul(d.jobs)) : 0;
        if (n < 1 || n > 256)
            return UsageError("niedozwolona wartość \"" + d.jobs + "\" opcji --jobs; dozwolone: od 1 do 256",
                              name);
        o.jobs = n;
    }
    if (d.convert->count("--out") != 0 && d.out.empty()) return UsageError("pusta ścieżka w --out", "convert");
    if (!d.out.empty()) o.out = PathFromUtf8(d.out);
    if (o.force && o.out.empty()) return UsageError("opcja --force działa tylko z --out", "convert");
    ParsedCommandLine ok;
    ok.run = true;
    return ok;
}

// A number of seconds ("5", "0.5", up to a day) in milliseconds; none when
// the text is not one or `least` is more.
std::optional<std::chrono::milliseconds> Seconds(const std::string& text, double least) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot), part = dot == std::string::npos ? "" : text.substr(dot + 1);
    const auto digits = [](const std::string& t, size_t most) {
        return t.size() <= most && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (whole.empty() || !digits(whole, 5) || !digits(part, 3) || (dot != std::string::npos && part.empty()))
        return std::nullopt;
    const double seconds = std::stod(whole) + (part.empty() ? 0 : std::stod(part) / std::pow(10.0, double(part.size())));
    if (seconds < least || seconds > 86400) return std::nullopt;
    return std::chrono::milliseconds(int64_t(std::llround(seconds * 1000)));
}

// The watch's times; --json, which gives one document at the end, has no
// end to give it at.
ParsedCommandLine WatchValues(const Definition& d, Options& o) {
    if (o.json)
        return UsageError("opcja --json nie pasuje do watch (jeden dokument na końcu, a obserwowanie trwa "
                          "do przerwania); każdy plik osobno daje --json-lines",
                          "watch");
    if (!d.settle.empty() && !(o.settle = Seconds(d.settle, 0)))
        return UsageError("niedozwolona wartość \"" + d.settle + "\" opcji --settle; dozwolone: od 0 do 86400 sekund",
                          "watch");
    if (!d.poll.empty() && !(o.poll = Seconds(d.poll, 0.1)))
        return UsageError("niedozwolona wartość \"" + d.poll + "\" opcji --poll; dozwolone: od 0.1 do 86400 sekund",
                          "watch");
    ParsedCommandLine ok;
    ok.run = true;
    return ok;
}

// The command parsed, its options checked and its paths taken.
ParsedCommandLine Chosen(Definition& d, const std::vector<std::string>& marked) {
    ParsedCommandLine r;
    r.options = d.options;
    Options& o = r.options;
    const std::pair<CLI::App*, Command> commands[] = {
        {d.info, Command::Info},       {d.check, Command::Check}, {d.convert, Command::Convert},
        {d.restore, Command::Restore}, {d.watch, Command::Watch}};
    for (const auto& [app, command] : commands)
        if (app->parsed()) o.command = command;
    if (o.command == Command::None) return UsageError("podaj polecenie: info, check, convert, restore albo watch");
    const std::string name = CommandName(o.command);
    if (o.json && o.jsonLines) return UsageError("opcji --json nie można podać razem z --json-lines", name);
    if (o.command == Command::Convert || o.command == Command::Watch) {
        ParsedCommandLine values = ConvertValues(d, o, name);
        if (!values.run) return values;
    }
    if (o.command == Command::Watch) {
        ParsedCommandLine values = WatchValues(d, o);
        if (!values.run) return values;
    }
    d.paths.insert(d.paths.end(), marked.begin(), marked.end());
    if (d.paths.empty())
        return UsageError(o.command == Command::Watch ? "podaj co najmniej jeden folder" : "podaj co najmniej jeden plik",
                          name);
    for (const std::string& p : d.paths) {
        if (p.empty()) return UsageError("pusta ścieżka", name);
        o.paths.push_back(PathFromUtf8(p));
    }
    r.run = true;
    return r;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, size_t helpColumns) {
    Definition d;
    Define(d, helpColumns);
    std::vector<std::string> options = args;
    const std::vector<std::string> marked = SplitMarkedPaths(options);
    if (!options.empty() && options[0] == "help" &&
        std::none_of(options.begin() + 1, options.end(), [](const std::string& w) { return w.rfind('-', 0) == 0; }))
        return HelpCommand(d, std::vector<std::string>(options.begin() + 1, options.end()));
    if (const std::string refused = RefusedValue(d, options); !refused.empty())
        return UsageError(refused, CommandNamed(d, options));
    try {
        std::vector<std::string> reversed(options.rbegin(), options.rend());
        d.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return HelpText(d.app.help());
    } catch (const CLI::ParseError& e) {
        return UsageError(PolishParseError(e, d.app), CommandNamed(d, options));
    }
    if (d.showVersion) return HelpText(std::string("qwz ") + ProgramVersion() + "\n");
    if (d.help->parsed()) return HelpCommand(d, d.helpTopic.empty() ? std::vector<std::string>{} : std::vector{d.helpTopic});
    return Chosen(d, marked);
}

}  // namespace qwz::cli
