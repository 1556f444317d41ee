// Must not compile: the MP3 frame knowledge sits below the engine's components.
#include "audio/classes/AuException.h"
