#pragma once
// What the stand-in application and its Live library agree on.
//
// Running instances register in a shared folder (named by PHOTARA_SIM_INSTANCES, by default
// "photara-sim-<user id>" in the temporary folder, "photara-sim" in the user's temporary folder
// on Windows): instance
// <pid> writes "<pid>.instance", its element of the running-instances document, and
// "<pid>.scene", its scene document, each replaced whole (written aside, then renamed). The
// instance element holds, besides what the running-instances document requires, the port the
// instance really listens on ("listening_port"), which may differ from the one it offers.
//
// A live link is a TCP connection to the instance: the Live library sends the greeting line
// "PHOTARA-LIVE <link id>\n", the instance answers "READY <pid>\n", and then the Live library
// sends the scene as Scene file text until it closes its side. The instance confirms what it
// received with "RECEIVED <byte count>\n" and closes the connection; the Live library counts
// the link as delivered only when that count is the one it sent. The instance then writes the
// text to its output file and adds the link to its scene document:
//
//     <photara_scene>
//       <scene>
//         <link number="1">                                  one per link
//           <group name="table"/><object name="vase"/><material name="glass"/>...
//         </link>
//       </scene>
//     </photara_scene>
//
// A link names each group, object and material it held once; a link without any holds one
// <content/> element, so that any link makes the scene busy.

#include <string>

namespace photara_sim {

constexpr const char* kInstancesVariable = "PHOTARA_SIM_INSTANCES";
constexpr const char* kVersionVariable = "PHOTARA_SIM_VERSION";
constexpr const char* kPortVariable = "PHOTARA_SIM_PORT";
constexpr const char* kSceneVariable = "PHOTARA_SIM_SCENE";
constexpr const char* kOutputVariable = "PHOTARA_SIM_OUTPUT";

constexpr const char* kTemporaryFolderVariable = "TMPDIR";
constexpr const char* kDefaultTemporaryFolder = "/tmp";
constexpr const char* kDefaultInstancesFolder = "/photara-sim-";

constexpr const char* kInstanceSuffix = ".instance";
constexpr const char* kSceneSuffix = ".scene";
constexpr const char* kPendingSuffix = ".pending";
constexpr const char* kListeningPortElement = "listening_port";

constexpr const char* kGreeting = "PHOTARA-LIVE ";
constexpr const char* kReady = "READY ";
constexpr const char* kReceived = "RECEIVED ";
constexpr char kLineEnd = '\n';
constexpr std::size_t kMaxGreeting = 64; // the longest line of the greeting and answers
// Bounds every send of the Live library and its wait for the confirmation, in milliseconds.
constexpr const char* kSendTimeoutVariable = "PHOTARA_LIVE_SEND_TIMEOUT_MS";
constexpr unsigned kDefaultSendTimeoutMs = 30000;
constexpr unsigned kLongestSendTimeoutMs = 86400000;
constexpr const char* kLoopbackAddress = "127.0.0.1";

constexpr const char* kEmptySceneDocument = "<photara_scene><scene/></photara_scene>";

// Returns the path of an instance's file with the given suffix in folder.
inline std::string instance_file(const std::string& folder, long long process_id,
                                 const char* suffix) {
    return folder + "/" + std::to_string(process_id) + suffix;
}

// Returns the value of an environment variable (UTF-8 on Windows), empty when it is not set.
std::string environment(const char* name);

// Returns the shared folder of the running instances: PHOTARA_SIM_INSTANCES when it is set,
// else the user's folder in TMPDIR (or /tmp); folder names are UTF-8.
std::string instances_folder();

// Returns the whole content of a file named by a UTF-8 path; false when it cannot be read.
bool read_whole_file(const std::string& path, std::string& out);

// Replaces a file's content whole: written aside, then renamed over it; false on failure.
bool replace_file(const std::string& path, const std::string& content);

// Tells whether a process with that id exists.
bool process_alive(long long process_id);

} // namespace photara_sim
