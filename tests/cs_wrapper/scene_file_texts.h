#pragma once
// Texts every Scene file written by openFile begins with, and a temporary folder for the files.

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace cs_test {

// The four header lines and the empty line after them.
inline const std::string kHeader = "//---vantel:dal:7---\n"
                                   "//---import:dal:1---\n"
                                   "//---id:1---\n"
                                   "// This is a Photara scene file\n"
                                   "\n";

// The banner line: its build time changes with every build.
inline const std::regex kBanner(
    "#print \"Photara SceneApi oo 8\\.1\\.24  \\(built [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
    "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\\)\"\n");

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

// Checks the opening of a file (header, banner, version, options for up axis 2 and scale 0.5)
// and returns what follows it.
inline std::string body_after_opening(const std::string& text) {
    EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
    const std::size_t banner_end = text.find('\n', kHeader.size());
    if (banner_end == std::string::npos) {
        ADD_FAILURE() << "no banner line in:\n" << text;
        return {};
    }
    const std::string banner = text.substr(kHeader.size(), banner_end + 1 - kHeader.size());
    EXPECT_TRUE(std::regex_match(banner, kBanner)) << banner;
    const std::string rest = text.substr(banner_end + 1);
    EXPECT_EQ(rest.substr(0, kVersionAndOptions.size()), kVersionAndOptions);
    return rest.size() >= kVersionAndOptions.size() ? rest.substr(kVersionAndOptions.size())
                                                    : std::string();
}

} // namespace cs_test
