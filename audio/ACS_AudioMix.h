#pragma once

// The audio mixer: two inputs played at once or one after the other.
#include "audio/mix/AudioMixer.h"
