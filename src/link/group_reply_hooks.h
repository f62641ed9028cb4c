#pragma once
// Where the group replies hand their frame text to the group-file transfers:
// the one-group save request (asked on a current-group reply) and the
// collection of the twenty stored groups of an all-groups save.

#include <string>

namespace talvex {

class GroupReplyHooks {
public:
    virtual ~GroupReplyHooks() = default;
    // After a current-group reply has been shown; `frameText` is the reply's
    // 1304 characters. Saves it if a one-group save was requested.
    virtual void currentGroupReceived(const std::string& frameText) = 0;
    // One stored group (command 41) of an all-groups read.
    virtual void storedGroupReceived(const std::string& frameText) = 0;
};

} // namespace talvex
