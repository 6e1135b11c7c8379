#pragma once
// The stand-in's own installation record: the version key whose "BinName" is the running
// executable, so that an instance started without arguments, as the library starts the
// application, plays the installation it was started from.

namespace photara_sim {

// What the record tells an instance; ports are 0 when the record names no range.
struct Installation {
    int version = 0;
    int lowest_port = 0;
    int highest_port = 0;
};

// Looks for the record under the current user, then the local machine, from the highest
// version down; false when no record names this executable.
bool find_own_installation(Installation& out);

} // namespace photara_sim
