#pragma once
// A temporary folder for Scene files written by tests, and the reads that check them.

#include "reader/scene_reader.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace reader_test {

using test_support::TempFolder;

// Reads a Scene file, failing the test when it does not parse.
inline vtl::reader::Document read_ok(const std::string& path) {
    vtl::reader::ReadResult r = vtl::reader::read_scene_file(path);
    EXPECT_TRUE(r.ok) << path << ": " << r.error.describe();
    return std::move(r.document);
}

// Reads a Scene file's text, failing the test when it does not parse.
inline vtl::reader::Document read_text_ok(std::string_view text) {
    vtl::reader::ReadResult r = vtl::reader::read_scene(text);
    EXPECT_TRUE(r.ok) << r.error.describe();
    return std::move(r.document);
}

// Every node with this keyword, at any depth.
inline std::vector<const vtl::reader::Node*> find_all(const vtl::reader::Document& doc,
                                                      const std::string& keyword) {
    std::vector<const vtl::reader::Node*> found;
    vtl::reader::walk(doc.nodes, [&](const vtl::reader::Node& n, int) {
        if (n.keyword == keyword) found.push_back(&n);
    });
    return found;
}

} // namespace reader_test
