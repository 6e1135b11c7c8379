#pragma once
// What every Scene file written by openFile begins with, and a temporary folder for the files.

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace cs_test {

// The four header lines and the empty line after them.
inline const std::string kHeader = "//---vantel:dal:7---\n"
                                   "//---import:dal:1---\n"
                                   "//---id:1---\n"
                                   "// This is a Photara scene file\n"
                                   "\n";

// Version line and import options as openFile writes them for up axis 2 and meter scale 0.5.
inline const std::string kVersionAndOptions = "version 10\n"
                                              "\n"
                                              "load \"vtlrtopt.so\" {\n"
                                              " \"import_mode\" on,\n"
                                              " \"import_merge_groups\" off,\n"
                                              " \"import_merge_objects\" off,\n"
                                              " \"import_up_vector\" 2,\n"
                                              " \"meter_scale\" 0.5,\n"
                                              " \"import_keep_original\" on,\n"
                                              " \"import_center_geometry\" on,\n"
                                              " \"import_snap_to_ground\" on,\n"
                                              " \"import_adjust_camera\" on,\n"
                                              " \"import_adjust_environment\" on,\n"
                                              " \"ext\" off,\n"
                                              "}\n";

using test_support::read_file;
using test_support::TempFolder;

// Checks that the header lines and the banner line (pinned by the factory's and the front's own
// tests) are followed by the version line and the import options, and returns what follows them.
inline std::string body_after_opening(const std::string& text) {
    EXPECT_EQ(text.rfind(kHeader + "#print \"Photara SceneApi oo ", 0), 0u) << text;
    const std::size_t options = text.find('\n', kHeader.size()) + 1;
    EXPECT_EQ(text.compare(options, kVersionAndOptions.size(), kVersionAndOptions), 0) << text;
    const std::size_t body = options + kVersionAndOptions.size();
    return text.size() >= body ? text.substr(body) : std::string();
}

} // namespace cs_test
