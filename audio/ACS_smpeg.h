#pragma once

// MP3 decoding.
#include "audio/classes/Sealed.h"
#include "audio/winmedia/MP3In.h"
