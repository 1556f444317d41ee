#pragma once

// The tag containers that file inputs and outputs carry.
#include "audio/tags/APEv2Tags.h"
#include "audio/tags/AuTags.h"
#include "audio/tags/CommonTags.h"
#include "audio/tags/Id3v1Tags.h"
#include "audio/tags/Id3v2Tags.h"
