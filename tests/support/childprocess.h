#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tessaloom::test {

/// Runs `body` in a forked child and returns what it returned, or nothing when
/// the child failed. For cases that need a process of their own: fewer
/// privileges, a descriptor limit, a private mount table.
std::optional<std::string> RunInChild(const std::function<std::string()>& body);

/// Gives up root in the calling (child) process for the "nobody" user. False when
/// that is not possible.
bool DropRootPrivileges();

/// DropRootPrivileges, and then no thread may be started any more. False when
/// either is not possible.
bool DropRootAndThreads();

} // namespace tessaloom::test
