#pragma once

// WMA (and MP3) decoding, WMA encoding and streaming, over FFmpeg.
#include "audio/classes/Sealed.h"
#include "audio/winmedia/WMAOut.h"
#include "audio/winmedia/WMIn.h"
