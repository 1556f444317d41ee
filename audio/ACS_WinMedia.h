#pragma once

// WMA (and MP3) decoding through the Windows Media reader.
#include "audio/classes/Sealed.h"
#include "audio/winmedia/WMIn.h"
#include "audio/winmedia/WmaSyncReader.h"
