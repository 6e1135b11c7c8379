#pragma once
// The destination that writes a Scene file (or standard output for the path "-").

#include "dev/factory/light_factory.h"

#include <cstdio>
#include <memory>
#include <string>

namespace vtl {

class LightFileFactory : public LightFactory {
public:
    // The four header lines every Scene file starts with, in order.
    static const char* const kHeaderLines[4];

    // Opens the UTF-8 path ("-": the process's standard output) for writing and creates the
    // writer over it. On failure prints "opening file: <reason>" on standard error and throws
    // std::runtime_error("could not open file: \"<path>\"").
    explicit LightFileFactory(std::string path);
    // Runs close(); a failing close is reported only by its "closing file" line.
    ~LightFileFactory() override;

    // The Scene file writer, or null after close().
    vtlScene_api* get_api() override { return api_.get(); }
    // Writes the header lines; the front is not consulted.
    void begin_scene(vtlSceneapi_oo* oo) override;
    // Destroys the writer, then closes the stream; throws std::runtime_error("could not close
    // file") after printing "closing file: <reason>" when the stream cannot be closed.
    void close() override;

private:
    std::unique_ptr<vtlScene_api> api_;
    FILE* file_ = nullptr; // owned: closed by close()
};

} // namespace vtl
