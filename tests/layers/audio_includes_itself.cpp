// Must compile: the engine sees itself and the platform below it.
#include "audio/formats/AudioFormat.h"
#include "platform/ByteOrder.h"
