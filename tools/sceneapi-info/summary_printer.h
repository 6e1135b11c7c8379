#pragma once
// Prints a SceneSummary as text for people or as JSON for scripts.

#include "scene_summary.h"

#include <ostream>
#include <string>

// Text for people: one fact per line, groups indented as a tree.
void print_text(std::ostream& out, const std::string& path, const SceneSummary& s);
// One JSON object, valid UTF-8: invalid bytes become U+FFFD, control characters \u00XX.
void print_json(std::ostream& out, const std::string& path, const SceneSummary& s);
// A text as the text output shows it: valid UTF-8 passes, but control characters (C0, DEL
// and C1) and bytes that are not valid UTF-8 are shown as \xNN, a backslash as \\.
std::string shown_text(const std::string& text);
// A failure as one JSON object {"errors": [{"file", "line", "column", "message"}]}; line and
// column are left out when `line` is 0.
void print_json_error(std::ostream& out, const std::string& path, const std::string& message,
                      std::size_t line = 0, std::size_t column = 0);
// A text as a JSON string, valid UTF-8.
std::string json_string(const std::string& text);
