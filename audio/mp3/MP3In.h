#pragma once

#include "audio/codecs/WMIn.h"

/// The file input for MP3 files: TWMIn, with a third of a second added to the
/// length it reports, so that the end of the file is never cut off.
class TMP3In : public TWMIn {
 protected:
  void OpenFile() override;
};
