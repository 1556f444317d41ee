#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Chapter.h"

class TId3v1Tags;
class TMP3Out;
class TWMIn;
class TWMAOut;
class TId3v2Tags;
class TCodecIn;
class TCodecOut;
class TAuFileIn;
class TAuFileOut;

/// Copies a source's tags to an output, as every job does: the twelve ID3v2
/// fields in the order Artist, Album, Genre, Year, Track, Title, Comment,
/// Composer, Encoder, Copyright, Language, Link.
void CopyId3v2Fields(const TId3v2Tags& from, TId3v2Tags& to);

/// Fills an MP3 output's ID3v1 fields from a source's ID3v2 tags: Artist,
/// Album, Genre as ISO-8859-1 text, Year and Track as integers (0 when not a
/// number), Title and Comment as ISO-8859-1 text.
void FillId3v1Fields(const TId3v2Tags& from, TId3v1Tags& to);

/// Gives an output that writes tags every field and picture of the source's
/// tags, as TagLib names them, whatever the two formats (a FLAC file's
/// ALBUMARTIST becomes an MP3 file's TPE2). Nothing for outputs without tags.
void CarrySourceTags(TAuFileIn& source, TAuFileOut& output);

/// Gives an output of any format a source's tags, of any format, as an
/// encode does: the twelve common fields where the source fills them (an
/// MP3 output also in its ID3v1 record), then CarrySourceTags.
void CarryConvertedTags(TAuFileIn& source, TAuFileOut& output);

/// Gives an MP3 output a compressed source's tags (both kinds) and encoder
/// settings: its bit rate as the nearest standard one, mono or stereo as the
/// source, VBR when the source is, copyright when the source is protected.
void CopyMp3Settings(TWMIn& source, TMP3Out& output);

/// Gives a WMA output a source's tags and its bit rate, as the nearest
/// format for the input's layout.
void CopyWmaSettings(TWMIn& source, TWMAOut& output);
/// The join's rule: the format the source is described as in the first
/// codec's list, else the nearest to its bit rate; and its tags.
void CopyWmaSettingsForJoin(TWMIn& source, TWMAOut& output);

/// How the WMA format list describes a file of this nominal bit rate (bits
/// per second, rounded to the usual rates), rate and channel count:
/// "128 kbps, 44 kHz, stereo"; "32 kbps,  8 kHz, mono" (a blank before a
/// one-digit rate).
std::string WmaFormatDescription(int bitrate, int sampleRate, int channels);

/// The index of the first WMA codec's format described as the source is
/// ("128 kbps, 44 kHz, stereo", its bit rate rounded to the usual ones), or
/// -1 when no format is.
int MatchWmaFormat(TWMIn& source, TWMAOut& output);


/// Gives a FLAC, Ogg Vorbis, Opus or M4A output a source of its format's
/// tags, pictures and settings: its bit rate (the usual one it stands for,
/// as for WMA: 133 kbps is 128), FLAC its bits per sample.
void CopyCodecSettings(TCodecIn& source, TCodecOut& output);

/// The chapters that overlap samples [start, last] (last -1: to the end),
/// cut to them and shifted so that `start` is 0.
std::vector<media::Chapter> ChaptersOfRange(const std::vector<media::Chapter>& chapters, int64_t start, int64_t last);
