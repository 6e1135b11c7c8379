#pragma once
// Prints a SceneSummary as text for people or as JSON for scripts.

#include "scene_summary.h"

#include <ostream>
#include <string>

// Text for people: one fact per line, groups indented as a tree.
void print_text(std::ostream& out, const std::string& path, const SceneSummary& s);
// One JSON object.
void print_json(std::ostream& out, const std::string& path, const SceneSummary& s);
