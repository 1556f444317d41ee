#pragma once

#include <string>
// FFmpeg's libraries, loaded on first use.
//
// Linking them directly costs every start of the programs about 25 MB and
// tens of milliseconds (libavcodec pulls in a hundred codec libraries),
// even for jobs that never decode, such as a PCM WAV cut. Code in this
// folder calls FFmpeg through Ffmpeg().name(...) instead.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

// X(function) for every FFmpeg function the platform layer calls.
#define CLIPWRIGHT_FFMPEG_FUNCTIONS(X) \
  X(av_packet_alloc) \
  X(av_packet_free) \
  X(av_packet_free_side_data) \
  X(av_packet_rescale_ts) \
  X(av_packet_unref) \
  X(av_parser_close) \
  X(av_parser_init) \
  X(av_parser_parse2) \
  X(avcodec_alloc_context3) \
  X(avcodec_find_decoder) \
  X(avcodec_find_encoder) \
  X(avcodec_find_encoder_by_name) \
  X(avcodec_flush_buffers) \
  X(avcodec_free_context) \
  X(avcodec_get_name) \
  X(avcodec_open2) \
  X(avcodec_parameters_copy) \
  X(avcodec_parameters_from_context) \
  X(avcodec_parameters_to_context) \
  X(avcodec_receive_frame) \
  X(avcodec_receive_packet) \
  X(avcodec_send_frame) \
  X(avcodec_send_packet) \
  X(av_find_best_stream) \
  X(av_interleaved_write_frame) \
  X(av_read_frame) \
  X(av_seek_frame) \
  X(av_write_frame) \
  X(av_write_trailer) \
  X(avformat_alloc_context) \
  X(avformat_alloc_output_context2) \
  X(avformat_close_input) \
  X(avformat_find_stream_info) \
  X(avformat_index_get_entries_count) \
  X(avformat_index_get_entry) \
  X(avformat_free_context) \
  X(avformat_new_stream) \
  X(avformat_open_input) \
  X(avformat_write_header) \
  X(avio_alloc_context) \
  X(avio_closep) \
  X(avio_context_free) \
  X(avio_flush) \
  X(avio_open) \
  X(av_audio_fifo_alloc) \
  X(av_audio_fifo_free) \
  X(av_audio_fifo_read) \
  X(av_audio_fifo_realloc) \
  X(av_audio_fifo_size) \
  X(av_audio_fifo_write) \
  X(av_channel_layout_compare) \
  X(av_channel_layout_copy) \
  X(av_channel_layout_default) \
  X(av_channel_layout_uninit) \
  X(av_dict_free) \
  X(av_dict_get) \
  X(av_dict_set) \
  X(av_frame_alloc) \
  X(av_frame_free) \
  X(av_frame_get_buffer) \
  X(av_frame_make_writable) \
  X(av_frame_unref) \
  X(av_freep) \
  X(av_get_bytes_per_sample) \
  X(av_log_set_level) \
  X(av_malloc) \
  X(av_mallocz) \
  X(av_rescale) \
  X(av_rescale_q) \
  X(av_sample_fmt_is_planar) \
  X(av_strerror) \
  X(swr_alloc_set_opts2) \
  X(swr_convert) \
  X(swr_free) \
  X(swr_get_out_samples) \
  X(swr_init)

struct FfmpegApi {
#define CLIPWRIGHT_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
  CLIPWRIGHT_FFMPEG_FUNCTIONS(CLIPWRIGHT_FFMPEG_POINTER)
#undef CLIPWRIGHT_FFMPEG_POINTER
};

// Loads the libraries once (thread-safe). Throws Error (MissingLibrary)
// naming the library or function that is missing.
const FfmpegApi& Ffmpeg();
// The libraries were loaded. Code that releases FFmpeg's objects asks first:
// without them nothing was ever allocated, and a destructor must not throw.
bool FfmpegLoaded();

// An FFmpeg result code as text: errno codes in our wording, others in FFmpeg's.
std::string AvErrorText(int code);
