// The help text of qwz laid out for the terminal it is shown in: option and
// command names in a column aligned by display width (so "ŚCIEŻKI" lines up
// with "--to"), descriptions and paragraphs wrapped at spaces to the width
// given, continued lines indented under their description. CLI11 writes the
// structure; this writes each entry and paragraph.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>

namespace qwz::cli {

class HelpFormatter : public CLI::Formatter {
public:
    // `columns`: the width to wrap to; `nameColumn`: where descriptions start.
    HelpFormatter(size_t columns, size_t nameColumn);

    std::string make_option(const CLI::Option* opt, bool positional) const override;
    std::string make_subcommand(const CLI::App* sub) const override;
    std::string make_description(const CLI::App* app) const override;
    std::string make_footer(const CLI::App* app) const override;

    // "  NAME" and its description from nameColumn on, wrapped.
    std::string Entry(const std::string& name, const std::string& description) const;
    // Text at the left margin, wrapped.
    std::string Paragraph(const std::string& text) const;

private:
    size_t columns_;
    size_t nameColumn_;
};

}  // namespace qwz::cli
