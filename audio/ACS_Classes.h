#pragma once

// The pipeline core: components, worker threads and event delivery.
#include "audio/classes/AuException.h"
#include "audio/classes/AuInput.h"
#include "audio/classes/AuOutput.h"
#include "audio/classes/AuThread.h"
#include "audio/classes/Component.h"
#include "audio/classes/EventHandler.h"
