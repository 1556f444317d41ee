#pragma once

#include "audio/codecs/WMIn.h"

/// The file input for MP3 files: TWMIn's decoding, counting exactly the
/// frames the file holds (the length every window, job and check relies on).
class TMP3In : public TWMIn {};
