// Must not compile: the jobs cannot see the command-line tool.
#include "cli/Cli.h"
