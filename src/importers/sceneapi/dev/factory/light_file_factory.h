#pragma once
// The destination that writes a Scene file (or standard output for the path "-").

#include "dev/factory/light_factory.h"
#include "platform/file_stream.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace vtl {

// Thrown when a Scene file cannot be opened or closed: what() is the short text, report() the
// whole story for the host (the path, the system's reason, what reached the file).
class FileDestinationError : public std::runtime_error {
public:
    FileDestinationError(const std::string& what, std::string report)
        : std::runtime_error(what), report_(std::move(report)) {}
    const std::string& report() const noexcept { return report_; }

private:
    std::string report_;
};

class LightFileFactory : public LightFactory {
public:
    // The four header lines every Scene file starts with, in order.
    static const char* const kHeaderLines[4];

    // Opens the UTF-8 path ("-": the process's standard output) for writing and creates the
    // writer over it. On failure prints "opening file: <reason>" on standard error and throws
    // FileDestinationError("could not open file: \"<path>\"").
    explicit LightFileFactory(std::string path);
    // Runs close(); a failing close is reported only by its "closing file" line and failure().
    ~LightFileFactory() override;

    // The Scene file writer, or null after close().
    vtlScene_api* get_api() override { return api_.get(); }
    // Writes the header lines; the front is not consulted.
    void begin_scene(vtlSceneapi_oo* oo) override;
    // Destroys the writer, then closes the stream; throws FileDestinationError("could not
    // close file") after printing "closing file: <reason>" when the stream cannot be closed or
    // a write failed before.
    void close() override;
    // The first write or close failure: path, reason and how many bytes reached the file.
    std::string failure() const override;
    // Tells whether the stream writes to the file at that path.
    bool is_file(const std::string& path) const override;

private:
    // "<what> <destination>: <reason>", and what had reached the destination.
    std::string describe(const char* what, int error) const;

    std::string path_;
    platform::OutputTally tally_; // updated by the stream: must outlive it
    std::unique_ptr<vtlScene_api> api_;
    FILE* file_ = nullptr; // owned: closed by close()
    std::string close_failure_;
};

} // namespace vtl
