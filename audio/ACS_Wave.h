#pragma once

// WAV files: reader, writer, ADPCM codecs and the layer 3 converter.
#include "audio/classes/Sealed.h"
#include "audio/wave/Adpcm.h"
#include "audio/wave/WavHeader.h"
#include "audio/wave/WaveConverter.h"
#include "audio/wave/WaveIn.h"
#include "audio/wave/WaveOut.h"
