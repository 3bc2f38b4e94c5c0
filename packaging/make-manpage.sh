#!/usr/bin/env bash
# Writes the manual page of a program, gzipped, from its own --help: the
# first line gives NAZWA, the rest OPIS, and each command that the help
# lists (an entry that is one lower-case word) a section of its own from
# "PROGRAM COMMAND --help". A line at the left margin starts a paragraph
# (ending in ":", a heading; "Word: ..." opens one with the word in bold), an indented "TERM  TEXT" an entry, and a
# deeper indented line continues the entry above it.
# usage: make-manpage.sh PROGRAM NAME VERSION OUTPUT.gz
set -euo pipefail
program=$1 name=$2 version=$3 output=$4

help_of() {
  local text
  text=$("$program" "$@") || { echo "make-manpage: '$name $*' failed" >&2; return 1; }
  [ -n "$text" ] || { echo "make-manpage: '$name $*' printed nothing" >&2; return 1; }
  printf '%s\n' "$text"
}

# roff from help text; lines also found in file $1 (the main help), headings
# aside, are left out.
to_roff() {
  awk -v seen_file="${1:-/dev/null}" '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return s }
    function out(s) { if (s ~ /^[.\047]/) s = "\\&" s; print s }
    function flush() {
      if (term != "") { print ".TP"; out("\\fB" esc(term) "\\fR"); if (text != "") out(esc(text)) }
      term = ""; text = ""
    }
    BEGIN { while ((getline l < seen_file) > 0) if (l != "") seen[l] = 1 }
    $0 in seen && $0 !~ /:$/ { next }
    /^$/ { flush(); para = 0; next }
    /^[^ ]/ {
      flush()
      if ($0 ~ /:$/) { print ".PP"; out("\\fB" esc($0) "\\fR"); para = 0; next }
      if (match($0, /^[^ ]+: /)) {
        print ".PP"; out("\\fB" esc(substr($0, 1, RLENGTH - 1)) "\\fR " esc(substr($0, RLENGTH + 1))); para = 1; next
      }
      else { if (!para) print ".PP"; out(esc($0)); para = 1 }
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

main_help=$(help_of --help)
first=$(printf '%s\n' "$main_help" | head -n 1)
summary=${first#* — }
[ "$summary" != "$first" ] || summary=${first#*: }
commands=$(printf '%s\n' "$main_help" | awk -v name="$name" '/^  [a-z][a-z-]*  / && $1 != name { print $1 }')
seen=$(mktemp)
trap 'rm -f "$seen"' EXIT
printf '%s\n' "$main_help" >"$seen"

{
  echo "'\\\" -*- coding: UTF-8 -*-"
  echo ".TH ${name^^} 1 \"\" \"$name $version\" \"Polecenia użytkownika\""
  echo ".SH NAZWA"
  echo "$name \\- $summary" | sed 's/\([^\\]\)-/\1\\-/g'
  echo ".SH OPIS"
  printf '%s\n' "$main_help" | tail -n +2 | to_roff
  if [ -n "$commands" ]; then
    echo ".SH POLECENIA"
    for command in $commands; do
      echo ".SS \"$name $command\""
      help_of "$command" --help | to_roff "$seen"
    done
  fi
} | gzip -9n >"$output.tmp"
mv "$output.tmp" "$output"
