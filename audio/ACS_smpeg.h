#pragma once

// MP3 decoding.
#include "audio/classes/Sealed.h"
#include "audio/smpeg/MP3In.h"
