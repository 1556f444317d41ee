#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wmvwriter.h"

namespace wm {

/// The HTTP server behind IWMWriterNetworkSink. One thread accepts clients,
/// reads their requests and sends each its queue; the writer only appends
/// to the queues, so a client that stops reading never stalls encoding. A
/// client that has taken nothing for four seconds is dropped. Close lets
/// every client receive the end of the stream before it returns.
class NetworkSink : public IWMWriterNetworkSink {
 public:
  ~NetworkSink() override;

  int32_t SetNetworkProtocol(int32_t protocol) override { return protocol == 0 ? S_OK : E_FAIL; }
  int32_t Open(uint32_t* port) override;
  int32_t SetMaximumClients(uint32_t clients) override;
  int32_t GetHostURL(std::string* url) override;
  int32_t Close() override;
  int32_t Advise(const std::shared_ptr<IWMStatusCallback>& callback, void* context) override;

  /// The writer's side: the stream's header, then whole packets.
  void SetHeader(std::vector<uint8_t> header);
  void Deliver(const std::vector<uint8_t>& packets);

 private:
  struct Client {
    int fd = -1;
    std::string request;       // read so far
    bool streaming = false;    // the request was answered
    int64_t acceptedAtMs = 0;
    int64_t progressMs = 0;    // the last time it took bytes, or had none waiting
    std::deque<uint8_t> queue;
  };

  void Serve();
  void Accept();
  /// Reads the request; false when the client is to be closed.
  bool ReadRequest(Client& client);
  /// Sends what the client can take; false when it is gone.
  bool SendQueued(Client& client);
  void Drop(size_t index);
  void Report(int32_t status);
  void Wake();

  std::mutex mutex_;  // guards everything below
  int listener_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  uint32_t port_ = 0;
  uint32_t maxClients_ = 0;
  bool stopping_ = false;  // end now (destruction)
  bool closing_ = false;   // end once the clients have what is queued for them
  std::vector<uint8_t> header_;
  std::vector<Client> clients_;
  std::shared_ptr<IWMStatusCallback> callback_;
  void* context_ = nullptr;
  std::thread thread_;
};

}  // namespace wm
