// Must not compile: the engine cannot see the windows (the layers test
// compiles this against the engine's view of the tree and expects failure).
#include "app/Main.h"
