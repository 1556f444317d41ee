// Must not compile: the components sit below the format registry that lists them.
#include "audio/formats/FormatRegistry.h"
