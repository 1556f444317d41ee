// Must not compile: the MPEG format knowledge sits below the engine's components.
#include "audio/classes/AuException.h"
