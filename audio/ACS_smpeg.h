#pragma once

// MP3 decoding.
#include "audio/classes/Sealed.h"
#include "audio/mp3/MP3In.h"
