#pragma once
// Loading a group file for talvex-group: the kind from its extension (or, for
// another extension, from its line count), the groups it holds, and on failure
// the text the tool prints.

#include "model/group_file.h"

#include <string>
#include <vector>

namespace talvex::grouptool {

struct LoadedFile {
    bool allGroups = false;             // a ".datgrp" file: groups 1..20
    std::vector<groupfile::Group> groups;
    std::string error;                  // set when nothing was loaded: the lines to print
    bool ok() const { return error.empty(); }
};

// The program's arguments (argv[0] first) as UTF-8: on Windows read again in
// their wide form, since argv holds them in the narrow code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// `path` is UTF-8. "File damaged." and the parser's reason for a damaged, empty or foreign file,
// or the reason a file could not be read.
LoadedFile loadGroupFile(const std::string& path);

// The heading of group `number` (1..20; 0 for the one group of a one-group
// file): "Group 3, read from Device ID 1" or "Current group, read from Device ID 1",
// with a remark when the stored checksum does not match (loading ignores it).
std::string groupHeading(const groupfile::Group& group, int number);

} // namespace talvex::grouptool
