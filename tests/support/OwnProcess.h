#pragma once

#include <QProcessEnvironment>

/// Where a test that must run in a process of its own goes on.
enum class OwnProcess { Here, Passed, Failed, Skipped };

/// Runs the current test again in a fresh process of this test program, with
/// `extra` added to its environment, for tests of code that sets itself up
/// once per process (Qt's sound system connects to one server and keeps it).
/// Returns Here inside that process (go on with the test); elsewhere it waits
/// for the process and tells how the test went there, printing its output.
OwnProcess RunInOwnProcess(const QProcessEnvironment& extra = {});
