#include "cli/ParseError.h"

#include <regex>
#include <vector>

namespace qwz::cli {
namespace {

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
        for (const CLI::App* command : commands)
            if (command->get_name() != "help") names += (names.empty() ? "" : ", ") + command->get_name();
        return "nieznane polecenie: " + first + "; dostępne: " + names;
    }
    return "nieoczekiwany argument: " + first;
}

}  // namespace

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

}  // namespace qwz::cli
