#pragma once

#include <taglib/tag_c.h>

/// TagLib's C interface, loaded at run time from libtag_c.so.0 (once per
/// process). When it is missing, MP3 files get no ID3v2 tag and nothing fails.
namespace TagLibC {

/// The entry points the MP3 writer calls.
struct Api {
  decltype(&::taglib_id3v2_set_default_text_encoding) id3v2_set_default_text_encoding = nullptr;
  decltype(&::taglib_file_new_type) file_new_type = nullptr;
  decltype(&::taglib_file_tag) file_tag = nullptr;
  decltype(&::taglib_file_is_valid) file_is_valid = nullptr;
  decltype(&::taglib_file_save) file_save = nullptr;
  decltype(&::taglib_file_free) file_free = nullptr;
  decltype(&::taglib_tag_set_title) tag_set_title = nullptr;
  decltype(&::taglib_tag_set_artist) tag_set_artist = nullptr;
  decltype(&::taglib_tag_set_album) tag_set_album = nullptr;
  decltype(&::taglib_tag_set_genre) tag_set_genre = nullptr;
  decltype(&::taglib_tag_set_comment) tag_set_comment = nullptr;
  decltype(&::taglib_tag_set_year) tag_set_year = nullptr;
  decltype(&::taglib_tag_set_track) tag_set_track = nullptr;
};

/// The loaded interface, or nullptr when the library is not there.
/// CLIPWRIGHT_TAGLIB_LIBRARY names another file.
const Api* Load();

}  // namespace TagLibC
