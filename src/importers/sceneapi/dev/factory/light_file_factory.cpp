#include "dev/factory/light_file_factory.h"

#include "file_api/vtlscene_api_file.h"
#include "platform/file_stream.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace vtl {

namespace {

constexpr char kStandardOutputPath[] = "-";
constexpr char kOpenMode[] = "wb+";
constexpr char kOpeningFile[] = "opening file";
constexpr char kClosingFile[] = "closing file";
constexpr char kCouldNotOpen[] = "could not open file: \"";
constexpr char kCouldNotClose[] = "could not close file";

} // namespace

const char* const LightFileFactory::kHeaderLines[4] = {
    "//---vantel:dal:7---\n",
    "//---import:dal:1---\n",
    "//---id:1---\n",
    "// This is a Photara scene file\n\n",
};

LightFileFactory::LightFileFactory(std::string path) {
    FILE* stream = path == kStandardOutputPath ? platform::take_standard_output()
                                               : platform::open_file_utf8(path.c_str(), kOpenMode);
    if (!stream) {
        std::perror(kOpeningFile);
        throw std::runtime_error(kCouldNotOpen + path + "\"");
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
        // Already reported on standard error by close().
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
    if (!closed || earlier_error) {
        if (closed) errno = EIO;
        std::perror(kClosingFile);
        throw std::runtime_error(kCouldNotClose);
    }
}

} // namespace vtl
