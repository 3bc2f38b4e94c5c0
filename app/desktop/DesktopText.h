// Quoting for the files that file managers read: a desktop entry's Exec
// argument, a shell word, XML text and a key-file string value.
#pragma once

#include <string>

namespace qwz {

// One argument of a desktop entry's Exec key: in double quotes with
// " ` $ and backslash escaped, then every backslash doubled (the key-file
// string escape) and % doubled so that it is no field code.
std::string ExecArgument(const std::string& arg);

// One shell word: in single quotes, a ' written as '\''.
std::string ShellWord(const std::string& arg);

// Text for XML: & < > " and ' as entities.
std::string XmlText(const std::string& text);

// A key-file string value: a backslash doubled, so that it reads back as
// one backslash.
std::string KeyFileValue(const std::string& text);

}  // namespace qwz
