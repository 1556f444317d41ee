#pragma once

// WMA (and MP3) decoding through the Windows Media reader, WMA encoding through its writer.
#include "audio/classes/Sealed.h"
#include "audio/winmedia/WMAOut.h"
#include "audio/winmedia/WMIn.h"
#include "audio/winmedia/WmaSyncReader.h"
#include "audio/winmedia/WmaWriter.h"
