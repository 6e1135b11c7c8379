#pragma once
// What a person wants to know of a Scene file at a glance, gathered from its document tree.

#include "reader/scene_document.h"
#include "reader/scene_reader.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One group; the groups inside it follow it in the list, one level deeper.
struct GroupSummary {
    std::string name;
    std::size_t line = 0;
    std::size_t objects = 0; // placed objects directly inside
    int depth = 0;           // 0 for a group at the top level
};

// One object block and its size in the file.
struct ObjectSummary {
    std::string name;
    std::size_t line = 0;
    std::size_t bytes = 0;
    std::size_t triangles = 0;
    std::string geometry; // "triangles", "nurbs", "instance", ...
    bool definition = false;
};

// A fault of the scene found by the checks, where it stands.
struct Finding {
    bool error = true; // else a warning
    std::size_t line = 0;
    std::size_t column = 0; // byte column from 1
    std::string message;
};

// An "#error" line.
struct ErrorLine {
    std::size_t line = 0;
    std::string text;
};

struct SceneSummary {
    std::size_t bytes = 0;
    double version = -1; // as the "version" statement writes it; -1 without one
    std::vector<std::string> header;
    std::vector<std::pair<std::string, const vtl::reader::Value*>> import_options;
    std::size_t objects = 0;     // placed objects
    std::size_t definitions = 0; // "#define object" blocks
    std::size_t instances = 0;   // placed objects whose geometry is an instance
    std::size_t triangles = 0;
    std::size_t vertices = 0;
    std::size_t nurbs_surfaces = 0;
    std::map<std::string, std::size_t> materials; // by surface shader type
    std::map<std::string, std::size_t> lights;    // by kind
    std::size_t cameras = 0;
    std::size_t animations = 0;
    std::size_t keyframes = 0;
    std::vector<GroupSummary> groups; // depth first, each before the groups inside it
    std::size_t unlisted_groups = 0;  // groups nested deeper than the listing goes
    std::vector<ErrorLine> errors;
    std::vector<ObjectSummary> largest; // largest objects first
    std::vector<Finding> findings;      // in the order of the file, at most 100
    std::size_t unlisted_findings = 0;
    std::size_t error_count = 0; // findings that are errors, listed or not
    std::size_t warning_count = 0;
    bool has_bounds = false; // a box of every placed triangle geometry (lights' carriers aside)
    double bounds_min[3] = {0, 0, 0};
    double bounds_max[3] = {0, 0, 0};

    // Gathers the summary of `document`, read from `text`; values point into the document.
    static SceneSummary of(const vtl::reader::Document& document, std::string_view text);
};

// Reads `text` as a Scene file for a summary. A text that is blank, or that neither parses nor
// opens as a Scene file (a header comment or the version line), nor has a header or a version
// statement, fails with the reason at line 0; one that opens as a Scene file fails with the
// reader's error.
vtl::reader::ReadResult read_scene_to_summarise(std::string_view text);
