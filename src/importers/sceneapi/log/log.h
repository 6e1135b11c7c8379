#pragma once
// The statement-oriented log: each statement builds one line in memory and hands it to the
// process-wide "sceneapi.log" when the statement ends.
//
//     SCENEAPI_LOG(vtl::logINFO) << "connected on port " << port;
//
// The level must be a constant expression. Statements above kLogMaxLevel are discarded at
// compile time (`if constexpr`): their arguments are never evaluated and no code is generated
// for them, so a user of such statements need not even link the log library. The statement is
// an if-else chain: as the body of an `if`, give that `if` braces.

#include <cstdio>
#include <sstream>
#include <string>

namespace vtl {

// Log levels, from the most to the least important.
enum LogLevel : int {
    logERROR = 0,
    logWARNING = 1,
    logINFO = 2,
    logDEBUG = 3,
    logDEBUG1 = 4,
    logDEBUG2 = 5,
    logDEBUG3 = 6,
    logDEBUG4 = 7,
    logNONE = 8,
};

// Statements above this level are removed at build time.
constexpr int kLogMaxLevel = logDEBUG4;

// Reporting level the process starts with: every statement up to the maximum is written.
constexpr int kLogInitialReportingLevel = logDEBUG4;

// Returns the time of day "HH:MM:SS.mmm"; the fraction counts milliseconds since the first
// call, modulo one second. "Error in NowTime()" when the clock cannot be read.
std::string NowTime();

// Returns the name written into the line for a level ("ERROR" .. "NONE"); "NONE" outside 0..8.
const char* log_level_name(int level) noexcept;

// Returns the part of a source path after its last '\\' or '/'.
const char* log_base_name(const char* path) noexcept;

// Builds one line of the log; the output policy receives the finished line at destruction.
template <typename OutputPolicy> class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    virtual ~Log();

    // Writes the line prefix and returns the stream that takes the statement's values.
    std::ostringstream& get_stream(int level, const char* file_name, int line_number);

    // Returns the process-wide reporting level; statements above it are not written.
    static int& reporting_level();

    // Returns the level's name as written into the line.
    static const char* level_name(int level) { return log_level_name(level); }

protected:
    std::ostringstream os_;
};

// Owns the process-wide log stream "sceneapi.log".
class Output2FILE {
public:
    // Supplies the folder the log file goes into; empty when there is none.
    using FolderProvider = std::string (*)();

    // Returns the log stream, opening it on the first call (and on every call while opening
    // fails); null when it cannot be opened.
    static FILE* stream();

    // Writes a finished line to the log stream, when there is one, and flushes it.
    static void output(const std::string& line);

    // Sets the function that names the folder of the log file. The log sits beneath the layer
    // that reads the installation records, so that layer registers itself here. Without a
    // provider, or when it names no folder, the log goes to "vantel" in the user's state folder
    // on POSIX ($XDG_STATE_HOME, else ~/.local/state), created when missing.
    static void set_folder_provider(FolderProvider provider) noexcept;

    // Closes the log stream so that the next statement opens it again (for tests).
    static void reset() noexcept;
};

// The log the library writes: a Log over the file output.
class FILELog : public Log<Output2FILE> {
public:
    ~FILELog() override = default;
};

template <typename OutputPolicy> Log<OutputPolicy>::~Log() {
    try {
        // The line is ended here, not through the stream: a stream that failed (a value that
        // could not be added when memory ran out) takes nothing more, and the next line would be
        // glued to this one.
        std::string line = os_.str();
        line += '\n';
        OutputPolicy::output(line);
    } catch (...) {
        // A line that cannot be finished is dropped; logging never ends the host.
    }
}

template <typename OutputPolicy>
std::ostringstream& Log<OutputPolicy>::get_stream(int level, const char* file_name,
                                                  int line_number) {
    os_ << log_base_name(file_name) << ":" << line_number << " ";
    os_ << "- " << NowTime();
    os_ << " " << level_name(level) << ": ";
    os_ << " ";
    return os_;
}

template <typename OutputPolicy> int& Log<OutputPolicy>::reporting_level() {
    static int level = kLogInitialReportingLevel;
    return level;
}

} // namespace vtl

// One log statement: SCENEAPI_LOG(level) << values...;
#define SCENEAPI_LOG(level)                                                                        \
    if constexpr ((level) > ::vtl::kLogMaxLevel) {                                                 \
    } else if ((level) > ::vtl::FILELog::reporting_level() || !::vtl::Output2FILE::stream()) {     \
    } else                                                                                         \
        ::vtl::FILELog().get_stream((level), __FILE__, __LINE__)
