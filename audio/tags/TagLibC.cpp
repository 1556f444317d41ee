#include "audio/tags/TagLibC.h"

#include <mutex>

#include "platform/SharedLibrary.h"

namespace TagLibC {
namespace {

Api api;
bool loaded = false;
std::once_flag loading;

void LoadOnce() {
  void* library = LoadSharedLibrary("libtag_c.so.0", "CLIPWRIGHT_TAGLIB_LIBRARY");
  if (library == nullptr) return;
  bool all = true;
  auto resolve = [&](auto& pointer, const char* symbol) { all = ResolveSymbol(library, pointer, symbol) && all; };
  resolve(api.id3v2_set_default_text_encoding, "taglib_id3v2_set_default_text_encoding");
  resolve(api.file_new_type, "taglib_file_new_type");
  resolve(api.file_tag, "taglib_file_tag");
  resolve(api.file_is_valid, "taglib_file_is_valid");
  resolve(api.file_save, "taglib_file_save");
  resolve(api.file_free, "taglib_file_free");
  resolve(api.tag_set_title, "taglib_tag_set_title");
  resolve(api.tag_set_artist, "taglib_tag_set_artist");
  resolve(api.tag_set_album, "taglib_tag_set_album");
  resolve(api.tag_set_genre, "taglib_tag_set_genre");
  resolve(api.tag_set_comment, "taglib_tag_set_comment");
  resolve(api.tag_set_year, "taglib_tag_set_year");
  resolve(api.tag_set_track, "taglib_tag_set_track");
  if (!all) {
    ::dlclose(library);
    api = Api{};
    return;
  }
  loaded = true;
}

}  // namespace

const Api* Load() {
  std::call_once(loading, LoadOnce);
  return loaded ? &api : nullptr;
}

}  // namespace TagLibC
