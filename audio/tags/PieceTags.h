#pragma once

#include <string>

/// What a cue sheet says of one of its pieces, over the source's tags;
/// empty texts and a track of 0 say nothing.
struct PieceTags {
  std::string title, artist;
  int track = 0, tracks = 0;

  bool Empty() const { return title.empty() && artist.empty() && track == 0; }
  /// "3/12"; empty without a track.
  std::string TrackText() const { return track > 0 ? std::to_string(track) + "/" + std::to_string(tracks) : ""; }
};
