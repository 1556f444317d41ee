#pragma once

// WMA (and MP3) decoding, WMA encoding and streaming, over FFmpeg.
#include "audio/classes/Sealed.h"
#include "audio/wma/WMAOut.h"
#include "audio/codecs/WMIn.h"
