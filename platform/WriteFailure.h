#pragma once

#include <string>

/// Why writing a file failed, from an errno value, in the words a user
/// knows: "the disk is full", "the disk quota is used up", ...
std::string WriteFailureCause(int code);

/// `what`, followed by ": " and the cause of the errno value `code`; just
/// `what` when `code` is 0.
std::string WriteFailure(const std::string& what, int code);
