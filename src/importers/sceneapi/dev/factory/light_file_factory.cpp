#include "dev/factory/light_file_factory.h"

#include "file_api/vtlscene_api_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vtl {

namespace {

constexpr char kStandardOutputPath[] = "-";

// The destination as a message names it.
std::string destination_name(const std::string& path) {
    return path == kStandardOutputPath ? std::string("standard output") : "\"" + path + "\"";
}

} // namespace

const char* const LightFileFactory::kHeaderLines[4] = {
    "//---vantel:dal:7---\n",
    "//---import:dal:1---\n",
    "//---id:1---\n",
    "// This is a Photara scene file\n\n",
};

LightFileFactory::LightFileFactory(std::string path) : path_(std::move(path)) {
    FILE* stream = path_ == kStandardOutputPath
                       ? platform::take_standard_output(&tally_)
                       : platform::open_output_utf8(path_.c_str(), &tally_);
    if (!stream) {
        const int reason = errno;
        std::perror("opening file");
        throw FileDestinationError("could not open file: \"" + path_ + "\"",
                                   "opening " + destination_name(path_) + ": " +
                                       std::strerror(reason));
    }
    file_ = stream;
    try {
        api_.reset(new vtlScene_api_file(file_, true));
    } catch (...) {
        std::fclose(file_);
        file_ = nullptr;
        throw;
    }
}

LightFileFactory::~LightFileFactory() {
    try {
        close();
    } catch (...) {
        // Already reported on standard error by close(), and kept for failure().
    }
}

void LightFileFactory::begin_scene(vtlSceneapi_oo*) {
    if (!api_) return;
    for (const char* line : kHeaderLines)
        api_->write_raw(line);
}

void LightFileFactory::close() {
    api_.reset();
    if (!file_) return;
    FILE* stream = file_;
    file_ = nullptr;
    // A write that failed earlier (someone flushed every stream of the process) leaves only
    // the stream's error indicator behind: that is a failed close of the file as well.
    const bool earlier_error = std::ferror(stream) != 0;
    const bool closed = std::fclose(stream) == 0;
    if (closed && !earlier_error && tally_.error == 0) return;
    const int reason = tally_.error != 0 ? tally_.error : closed ? EIO : errno;
    errno = reason;
    std::perror("closing file");
    close_failure_ = describe(tally_.error != 0 ? "writing" : "closing", reason);
    throw FileDestinationError("could not close file", close_failure_);
}

std::string LightFileFactory::failure() const {
    if (!close_failure_.empty()) return close_failure_;
    if (tally_.error != 0) return describe("writing", tally_.error);
    if (file_ && std::ferror(file_)) return describe("writing", EIO);
    return std::string();
}

bool LightFileFactory::is_file(const std::string& path) const {
    return file_ && path != kStandardOutputPath &&
           platform::is_same_file(file_, tally_, path.c_str());
}

std::string LightFileFactory::describe(const char* what, int error) const {
    std::string text =
        std::string(what) + " " + destination_name(path_) + ": " + std::strerror(error);
    if (tally_.counted)
        text += " (" + std::to_string(tally_.bytes) + " bytes had reached it)";
    else
        text += " (what had reached it is not known)";
    return text;
}

} // namespace vtl
