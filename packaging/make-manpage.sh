#!/usr/bin/env bash
# Writes the manual page of a program, gzipped, from a hand-written template
# (packaging/man/NAME.1.in) and the program's own --help, so that what the
# help says cannot drift from the page. The template holds the page's order
# and what the help does not say (what a conversion loses, the JSON, the
# files, examples); each of these lines is replaced by a part of the help:
#   @NAZWA@      "NAME \- " and the help's first line after its dash
#   @SKŁADNIA@   the "Użycie:" lines; for each command of the help's
#                "Polecenia:" its own "Użycie:" line with [OPCJE] spelled out
#   @OPIS@       the help's paragraphs that are no list and no heading
#   @OPCJE@      the entries of "Opcje:" (without one, those of "Użycie:")
#   @POLECENIA@  a subsection per command from "PROGRAM COMMAND --help"
#   @KODY@       the paragraph "Kody wyjścia: ..." of the help
# In the help a line at the left margin starts a paragraph ("Word:" alone or
# with text after it, a heading), an indented "TERM  TEXT" is an entry, and
# a deeper indented line continues the entry above it.
# usage: make-manpage.sh PROGRAM NAME VERSION TEMPLATE OUTPUT.gz
set -euo pipefail
program=$1 name=$2 version=$3 template=$4 output=$5

help_of() {
  local text
  text=$("$program" "$@") || { echo "make-manpage: '$name $*' failed" >&2; return 1; }
  [ -n "$text" ] || { echo "make-manpage: '$name $*' printed nothing" >&2; return 1; }
  printf '%s\n' "$text"
}

# The lines of a help text, each after the name of the part it belongs to
# and a tab: "usage", "options", "commands", "arguments", "exit", "text"
# (a paragraph of its own) or "title" (the first paragraph, which a narrow
# help wraps over several lines).
parts() {
  awk '
    NR == 1 { part = "title" }
    /^$/ { part = ""; next }
    /^[^ ]/ {
      head = $0; sub(/:.*/, "", head)
      if (head == "Użycie") part = "usage"
      else if (head == "Opcje") part = "options"
      else if (head == "Polecenia") part = "commands"
      else if (head == "Argumenty") part = "arguments"
      else if (head == "Kody wyjścia") part = "exit"
      else if (part == "") part = "text"
    }
    part != "" { print part "\t" $0 }'
}

# The lines of one part, without the part's name.
part() { parts | awk -F'\t' -v want="$1" '$1 == want { sub(/^[^\t]*\t/, ""); print }'; }

# roff from help text: headings in bold, entries as tagged paragraphs.
to_roff() {
  awk '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return s }
    function out(s) { if (s ~ /^[.\047]/) s = "\\&" s; print s }
    function flush() {
      if (term != "") { print ".TP"; out("\\fB" esc(term) "\\fR"); if (text != "") out(esc(text)) }
      term = ""; text = ""
    }
    /^$/ { flush(); para = 0; next }
    /^[^ ]/ {
      flush()
      if ($0 ~ /:$/) { print ".PP"; out("\\fB" esc($0) "\\fR"); para = 0; next }
      if (match($0, /^[^ ]+: /)) {
        print ".PP"; out("\\fB" esc(substr($0, 1, RLENGTH - 1)) "\\fR " esc(substr($0, RLENGTH + 1))); para = 1; next
      }
      if (!para) print ".PP"
      out(esc($0)); para = 1
      next
    }
    {
      match($0, /^ +/); indent = RLENGTH; rest = substr($0, indent + 1); para = 0
      if (indent > 4 && term != "") { text = text (text == "" ? "" : " ") rest; next }
      flush()
      gap = index(rest, "  ")
      if (gap) { term = substr(rest, 1, gap - 1); text = substr(rest, gap); sub(/^ +/, "", text) }
      else term = rest
    }
    END { flush() }'
}

esc() { sed 's/\\/\\e/g; s/-/\\-/g'; }

# The terms of a part's entries ("  TERM  TEXT"), one a line.
terms() { awk '/^  [^ ]/ { s = substr($0, 3); g = index(s, "  "); print (g ? substr(s, 1, g - 1) : s) }'; }

main_help=$(help_of --help)
first=$(printf '%s\n' "$main_help" | part title | tr '\n' ' ' | sed 's/ $//')
summary=${first#* — }
[ "$summary" != "$first" ] || summary=${first#*: }
commands=$(printf '%s\n' "$main_help" | part commands | terms | awk '/^[a-z][a-z-]*$/')

synopsis() {
  local line
  # "Użycie: X" gives X; "Użycie:" above entries gives each entry's term.
  line=$(printf '%s\n' "$main_help" | part usage | head -n 1)
  { [ "${line#*: }" != "$line" ] && printf '%s\n' "${line#*: }"
    printf '%s\n' "$main_help" | part usage | terms; } |
    while IFS= read -r use; do printf '.br\n\\fB%s\\fR%s\n' "$name" "$(printf '%s' "${use#"$name"}" | esc)"; done
  for command in $commands; do
    local help options
    help=$(help_of "$command" --help)
    options=$(printf '%s\n' "$help" | part options | terms | { grep -v -- '--help$' || true; } |
      sed 's/^\(-[a-z]\),--/\1|--/; s/.*/[&]/' | tr '\n' ' ')
    line=$(printf '%s\n' "$help" | part usage | head -n 1)
    line=${line#*: }
    line=${line/\[OPCJE\] /$options}
    printf '.br\n\\fB%s %s\\fR%s\n' "$name" "$command" "$(printf '%s' "${line#"$name $command"}" | esc)"
  done
}

# Each command's section: what it does, how it is called, its entries
# (the help option, said once in OPCJE, and the exit codes, in KOD WYJŚCIA,
# left out).
command_sections() {
  for command in $commands; do
    local help
    help=$(help_of "$command" --help)
    echo ".SS \"$name $command\""
    printf '%s\n' "$help" | part title | to_roff
    printf '%s\n' "$help" | part usage | to_roff
    printf '%s\n' "$help" | part arguments | to_roff
    local options
    options=$(printf '%s\n' "$help" | part options | { grep -v -- '--help  ' || true; })
    # a heading only above options other than the help's own
    if printf '%s\n' "$options" | grep -q '^  '; then printf '%s\n' "$options" | to_roff; fi
    printf '%s\n' "$help" | part text | to_roff
  done
}

replace() {
  case $1 in
  @NAZWA@) echo "$name \\- $summary" | sed 's/\([^\\]\)-/\1\\-/g' ;;
  @SKŁADNIA@) synopsis | tail -n +2 ;;
  @OPIS@) printf '%s\n' "$main_help" | part text | to_roff ;;
  @OPCJE@)
    if printf '%s\n' "$main_help" | part options | grep -q .; then
      printf '%s\n' "$main_help" | part options | tail -n +2 | to_roff
    else
      printf '%s\n' "$main_help" | part usage | tail -n +2 | to_roff
    fi ;;
  @POLECENIA@) command_sections ;;
  @KODY@)
    local exit
    exit=$(printf '%s\n' "$main_help" | part exit)
    [ -n "$exit" ] || { echo "make-manpage: the help of $name gives no exit codes" >&2; return 1; }
    printf '%s\n' "${exit#*: }" | to_roff ;;
  *) echo "make-manpage: unknown part $1 in $template" >&2; return 1 ;;
  esac
}

{
  echo "'\\\" -*- coding: UTF-8 -*-"
  echo ".TH ${name^^} 1 \"\" \"$name $version\" \"Polecenia użytkownika\""
  # Left-aligned and unhyphenated: the formatter knows English hyphenation only.
  echo ".nh"
  echo ".ad l"
  while IFS= read -r line; do
    if [[ $line =~ ^@[^@]+@$ ]]; then replace "$line"; else printf '%s\n' "$line"; fi
  done <"$template"
} >"$output.roff"
gzip -9n <"$output.roff" >"$output.tmp"
rm -f "$output.roff"
mv "$output.tmp" "$output"
