#pragma once
// The stand-in's installation record in a record file of the current user: written by
// "photara-sim register", removed by "photara-sim unregister", so that the library finds and
// launches the stand-in as it would the application.

#include <string>

namespace photara_sim {

// What a record names: the executable, its folder and the resource folder beside it.
struct StandInRecord {
    int major = 0;
    std::string bin_name;        // the stand-in's executable
    std::string bin_folder;      // its folder, where its Live library lies
    std::string resource_folder; // "resources" beside that folder (or, where the user cannot
                                 // write, vantel/photara-sim in the user's state folder): the log
                                 // and the received scenes
};

// What the stand-in's own record tells an instance; ports are 0 when the record names no range.
struct Installation {
    int version = 0;
    int lowest_port = 0;
    int highest_port = 0;
};

// Looks for the version key whose "BinName" is the running executable, under the current user,
// then the local machine, from the highest version down, so that an instance started without
// arguments, as the library starts the application, plays the installation it was started
// from; false when no record names this executable.
bool find_own_installation(Installation& out);

// Returns the record of this executable for a major version; false when the executable's path
// cannot be found.
bool own_record(int major, StandInRecord& out);

// Returns the record file the library reads for the current user ($SCENEAPI_HKCU_REG, else
// $XDG_CONFIG_HOME/vantel/registry.reg or ~/.config/vantel/registry.reg); empty when there is
// no home folder.
std::string default_record_file();

// Writes the record into the file (created with its folder when missing), replacing the key of
// the same version and leaving the rest of the file as it was; creates the resource folder.
// Returns false with the reason in error.
bool write_record(const std::string& file, const StandInRecord& record, std::string& error);

// Removes from the file the keys whose "BinName" is bin_name (only the key of that major when
// major is above 0). removed receives the key names; false with the reason in error when the
// file could not be read or written. A missing file holds nothing to remove.
bool remove_records(const std::string& file, const std::string& bin_name, int major,
                    std::string& removed, std::string& error);

// Returns the "ResourceFolder" of the record of a major version that names this executable,
// looked up under the current user, then the local machine; empty when there is none.
std::string recorded_resource_folder(int major);

// Returns the text of a record's key as a record file writes it.
std::string record_text(const StandInRecord& record);

} // namespace photara_sim
