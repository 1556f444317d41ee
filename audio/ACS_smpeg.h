#pragma once

// MP3 decoding.
#include "audio/winmedia/MP3In.h"
