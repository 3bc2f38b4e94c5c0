#include "cli/HelpFormatter.h"

#include "cli/TextWidth.h"

#include <algorithm>

namespace qwz::cli {
namespace {

// Below this a description column would hold a word or two a line.
constexpr size_t kNarrowestDescription = 24;

}  // namespace

HelpFormatter::HelpFormatter(size_t columns, size_t nameColumn) : columns_(columns) {
    // A narrow terminal gives the descriptions room before the names.
    nameColumn_ = columns > nameColumn + kNarrowestDescription
                      ? nameColumn
                      : std::max<size_t>(columns > kNarrowestDescription ? columns - kNarrowestDescription : 0, 8);
    column_width(nameColumn_);
}

std::string HelpFormatter::make_option(const CLI::Option* opt, bool positional) const {
    return Entry(make_option_name(opt, positional) + make_option_opts(opt), make_option_desc(opt));
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
    return Entry(sub->get_display_name(true), sub->get_description());
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
    const std::string description = app->get_description();
    return description.empty() ? std::string() : Paragraph(description);
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
    const std::string footer = app->get_footer();
    return footer.empty() ? std::string() : Paragraph(footer);
}

std::string HelpFormatter::Entry(const std::string& name, const std::string& description) const {
    std::string out = "  " + name;
    const size_t nameWidth = 2 + DisplayWidth(name);
    if (description.empty()) return out + "\n";
    // A name that reaches the column puts its description on the next line.
    if (nameWidth + 1 > nameColumn_) out += "\n" + std::string(nameColumn_, ' ');
    else out += std::string(nameColumn_ - nameWidth, ' ');
    const size_t room = columns_ > nameColumn_ ? columns_ - nameColumn_ : 1;
    const std::vector<std::string> lines = WrapWords(description, room);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) out += std::string(nameColumn_, ' ');
        out += lines[i] + "\n";
    }
    return out;
}

std::string HelpFormatter::Paragraph(const std::string& text) const {
    std::string out;
    for (const std::string& line : WrapWords(text, columns_)) out += line + "\n";
    return out;
}

}  // namespace qwz::cli
