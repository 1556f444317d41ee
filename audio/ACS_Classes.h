#pragma once

// The pipeline core (components, worker threads, event delivery), file
// inputs and outputs, and sample conversions.
#include "audio/classes/AuException.h"
#include "audio/classes/AuInput.h"
#include "audio/classes/AuOutput.h"
#include "audio/classes/AuThread.h"
#include "audio/classes/Component.h"
#include "audio/classes/Convert.h"
#include "audio/classes/EventHandler.h"
#include "audio/classes/FileIn.h"
#include "audio/classes/FileOut.h"
#include "audio/classes/FileStream.h"
#include "audio/classes/Sealed.h"
