#pragma once

// MP3 encoding through the LAME encoder, with ID3v1 and ID3v2 tags.
#include "audio/classes/Sealed.h"
#include "audio/mp3/MP3Out.h"
#include "audio/mp3/Mp3Settings.h"
