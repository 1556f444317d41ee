#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <functional>

namespace media {

/// Serves a WMA encoder's ASF stream over HTTP: each client that sends a
/// GET gets the stream's header and the stream from then on. One thread accepts clients,
/// reads their requests and sends each what it has not yet had; the writer
/// only appends to one shared window of the last few seconds of the stream,
/// so a client that stops reading never stalls encoding and memory stays
/// bounded whatever the number of clients. A client that falls more than
/// the window behind, or takes nothing for four seconds, is dropped. Close
/// gives the clients a few seconds to receive the end of the stream.
class WmaStreamServer {
 public:
  /// Called on the server's thread as clients come and go.
  using ClientEvent = std::function<void()>;
  WmaStreamServer(ClientEvent onConnected, ClientEvent onDisconnected)
      : onConnected_(std::move(onConnected)), onDisconnected_(std::move(onDisconnected)) {}
  ~WmaStreamServer();

  /// Starts listening on `port` of every IPv4 interface (0: a free port);
  /// returns the port. Throws std::runtime_error with the system's reason.
  uint32_t Open(uint32_t port);
  /// 0: no limit.
  void SetMaximumClients(uint32_t clients);
  /// Ends the stream for the clients, giving them (with `drain`) a few
  /// seconds to take the rest; without, at once (a stream that was stopped).
  void Close(bool drain = true);

  /// The writer's side: the stream's bytes per second (sets the window),
  /// the stream's header, then whole packets.
  void SetStreamRate(int64_t bytesPerSecond);
  void SetHeader(std::vector<uint8_t> header);
  void Deliver(const std::vector<uint8_t>& packets);


 private:
  struct Client {
    uint64_t id = 0;           // its own: a descriptor number is reused once closed
    int fd = -1;
    std::string request;       // read so far
    bool streaming = false;    // the request was answered
    int64_t acceptedAtMs = 0;
    int64_t progressMs = 0;    // the last time it took bytes, or had none waiting
    std::string prefix;        // the response head and the stream header, not yet sent
    int64_t position = 0;      // the next byte of the stream it gets
  };

  bool HasPending(const Client& client) const { return !client.prefix.empty() || client.position < streamEnd_; }

  void Serve();
  void Accept();
  /// Reads the request; false when the client is to be closed.
  bool ReadRequest(Client& client);
  /// Sends what the client can take; false when it is gone.
  bool SendQueued(Client& client);
  void Drop(size_t index);
  void Report(bool connected);
  void Wake();

  std::mutex mutex_;  // guards everything below
  int listener_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  uint32_t port_ = 0;
  uint32_t maxClients_ = 0;
  bool stopping_ = false;  // end now (destruction)
  bool closing_ = false;   // end once the clients have what is queued for them
  int64_t closingSinceMs_ = 0;
  std::vector<uint8_t> header_;
  int64_t windowLimit_ = 256 * 1024;       // bytes of stream kept: a few seconds of it
  std::deque<std::vector<uint8_t>> window_;  // the last packets, oldest first
  int64_t windowStart_ = 0;                // stream offset of window_'s first byte
  int64_t windowBytes_ = 0;
  int64_t streamEnd_ = 0;                  // stream offset after the last packet
  uint64_t nextClientId_ = 1;
  std::vector<Client> clients_;
  const ClientEvent onConnected_, onDisconnected_;
  std::thread thread_;
};

}  // namespace media
