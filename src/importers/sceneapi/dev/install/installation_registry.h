#pragma once
// Reading the rendering application's installation records: which installation to use for a
// range of major versions, its executable, program folder, resource folder and live-link
// ports, and starting it.
//
// Texts are UTF-8; the platform layer converts them where the system speaks UTF-16.

#include <string>

namespace vtl {

// Reads the installation records; one process-wide instance without data.
class InstallationRegistry {
public:
    InstallationRegistry(const InstallationRegistry&) = delete;
    InstallationRegistry& operator=(const InstallationRegistry&) = delete;

    // Returns the process-wide instance, created on first use.
    static InstallationRegistry& instance();

    // Returns "BinName" of the newest installation in lowest..highest; empty when none.
    std::string get_bin_name(int lowest, int highest) const;

    // Returns "BinFolder" of the newest installation in lowest..highest, empty when none; sets
    // *major to that installation's major version when one is found.
    std::string get_bin_folder(int* major, int lowest, int highest) const;

    // Returns "ResourceFolder" of the newest installation in lowest..highest; empty when none.
    std::string get_resources_folder(int lowest, int highest) const;

    // Reads the live-link port range of the newest installation in lowest..highest. Returns 0
    // when both ports were read, -1 when only the lowest, -2 when the installation has no
    // port, -3 when there is no installation. Ports not read keep their values.
    int get_live_link_ports(int* lowest_port, int* highest_port, int lowest, int highest) const;

    // Starts the executable of the newest installation in lowest..highest, detached and
    // without arguments; true when the process was created.
    bool launch_application(int lowest, int highest) const;

    // Describes, in one line for an error report, where the installations of lowest..highest
    // were looked for: each root's records (on POSIX the record file and whether it was read),
    // the version keys found there and whether each counts (its "BinName" names a readable
    // file), and the installation chosen with its program folder. Reads the records again and
    // changes nothing.
    std::string describe_search(int lowest, int highest) const;

    // Returns the major version named by an active-installation path: the text between the
    // last letter of the product name and the last '/' (else the last '\\'); -1 when the path
    // has no such part.
    static int version_from_active_path(const std::string& path);

private:
    InstallationRegistry() = default;
};

} // namespace vtl
