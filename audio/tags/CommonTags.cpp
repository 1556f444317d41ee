#include "audio/tags/CommonTags.h"

TCommonTags::TCommonTags() {
  for (const char* name : {"Title", "Album", "Artist", "Genre", "Year", "Track"}) AddTag(name, std::string());
}
