#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wmvwriter.h"

class TComponent;

/// The state of one output's Windows Media writer.
struct wma_writer {
  TComponent* owner = nullptr;
  std::shared_ptr<wm::IWMWriter> writer;
  uint32_t inputNumber = 0;
  uint32_t bytesPerSecond = 0;  // of the PCM given to the writer
  uint64_t sampleTime = 0;      // 100 ns units
  bool initialised = false;
  std::shared_ptr<wm::IWMWriterFileSink> fileSink;
  std::shared_ptr<wm::IWMWriterNetworkSink> networkSink;
  std::shared_ptr<wm::IWMStatusCallback> statusCallback;  // network
  std::shared_ptr<wm::IWMStatusCallback> errorCallback;   // file
  /// Called on the writer's threads: the error status values 0, 9, 26 and 30,
  /// a client connected (37) or disconnected (38).
  std::function<void(TComponent*)> onError;
  std::function<void(TComponent*)> onClientConnected;
  std::function<void(TComponent*)> onClientDisconnected;
};

/// Opens the writer on a file sink; success leaves `initialised` set.
void OpenFileWriter(wma_writer& w, const std::u16string& fileName, TComponent* owner,
                    std::function<void(TComponent*)> onError);
/// Opens the writer on a network sink listening on `port` (0: a free one,
/// written back); success leaves `initialised` set.
void OpenNetworkWriter(wma_writer& w, uint32_t& port, uint32_t maxClients, std::function<void(TComponent*)> onError,
                       std::function<void(TComponent*)> onDisconnected, std::function<void(TComponent*)> onConnected,
                       TComponent* owner);
/// The installed audio codecs' names, in codec order.
std::vector<std::u16string> ListCodecs();
/// The format descriptions of a codec (VBR formats with `vbr`); empty for an unknown codec.
std::vector<std::u16string> ListCodecFormats(uint32_t codec, bool vbr);
/// The codec's format `format` for PCM of the given layout; sets nothing for an unknown codec or format.
void SetWriterFormatByIndex(wma_writer& w, int channels, int bits, int rate, bool vbr, uint32_t codec, uint32_t format);
/// The format nearest `desired` (bits per second, or kbps under 1000; a quality with `vbr`).
/// Raises std::runtime_error "Failed to init codec" when no format fits.
void SetWriterFormat(wma_writer& w, int channels, int bits, int rate, bool lossless, bool vbr, uint32_t desired);
/// The search of SetWriterFormat over the codecs `codecs` offers; null when nothing fits.
std::shared_ptr<wm::IWMStreamConfig> FindCodecFormat(wm::IWMProfileManager& codecs, int channels, int bits, int rate,
                                                     uint32_t desired, bool lossless, bool vbr);
void SetWriterAttribute(wma_writer& w, const std::u16string& name, const std::u16string& text);
/// Raises EAuException when writing cannot begin.
void BeginWriter(wma_writer& w);
/// Hands `length` bytes of PCM to the writer, stamped with the running time including their own duration.
void WriteData(wma_writer& w, const void* data, uint32_t length);
/// Ends writing; false when the file could not be finished.
bool CloseFileWriter(wma_writer& w);
/// Ends writing and closes the network sink; false when the stream could not be finished.
bool CloseNetworkWriter(wma_writer& w);
