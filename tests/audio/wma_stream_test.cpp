// The WMA stream served over HTTP: clients on the loopback address receive
// and decode it; the client limit, client events, stalled and bad clients.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/ACS_WinMedia.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

/// A client on the loopback address that sends `request` and keeps what it
/// receives; with `stalled` it never reads (and asks for a tiny buffer).
class Client {
 public:
  Client(uint32_t port, const std::string& request = "GET /stream HTTP/1.0\r\n\r\n", bool stalled = false) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (stalled) {
      const int tiny = 4096;
      ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (connected_ && !request.empty()) (void)!::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
    if (!stalled)
      reader_ = std::thread([this] {
        char bytes[16384];
        for (ssize_t got; (got = ::recv(fd_, bytes, sizeof bytes, 0)) > 0;) {
          received_.insert(received_.end(), bytes, bytes + got);
          total_ += static_cast<size_t>(got);
        }
        ended_ = true;
      });
  }
  ~Client() {
    ::shutdown(fd_, SHUT_RDWR);
    if (reader_.joinable()) reader_.join();
    ::close(fd_);
  }

  bool Connected() const { return connected_; }
  bool Ended() const { return ended_; }
  size_t Total() const { return total_; }
  /// What came, less the HTTP response head.
  std::string Head() const {
    const std::string text(received_.begin(), received_.end());
    return text.substr(0, text.find("\r\n\r\n"));
  }
  std::vector<uint8_t> Body() const {
    const std::string text(received_.begin(), received_.end());
    const size_t at = text.find("\r\n\r\n");
    return at == std::string::npos ? std::vector<uint8_t>{} : std::vector<uint8_t>(received_.begin() + static_cast<long>(at + 4), received_.end());
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::thread reader_;
  std::vector<uint8_t> received_;
  std::atomic<size_t> total_{0};
  std::atomic<bool> ended_{false};
};

TEST(WmaStream, ClientsReceiveAndDecodeTheStream) {
  Sealed<MemoryInput> input(0);
  input.SetSamples(ToneSamples(44100 * 60, 2, 44100));
  input.ChannelCount = 2;
  input.Rate = 44100;
  input.BlockSize = 8192;
  input.DeliveriesAllowed = 0;  // held until the clients are there

  Sealed<TWMStreamedOut> output;
  output.SetDesiredBitrate(128000);
  output.SetMaxClients(3);
  int connected = 0, disconnected = 0;
  bool done = false;
  std::string error;
  output.OnClientConnected = [&](TComponent* sender) { connected += sender == &output; };
  output.OnClientDisconnected = [&](TComponent* sender) { disconnected += sender == &output; };
  output.OnDone = [&](TComponent*) { done = true; };
  output.OnThreadException = [&](TComponent*) { error = output.ExceptionMessage(); };
  output.SetInput(&input);
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return output.Port() != 0; }));
  const uint32_t port = output.Port();

  Client listener(port);
  Client stalled(port, "GET / HTTP/1.1\r\nHost: x\r\n\r\n", true);
  // FFmpeg's own HTTP client plays it as it comes.
  std::vector<int16_t> played;
  std::thread player([&] { played = DecodeWithFfmpeg("http://127.0.0.1:" + std::to_string(port) + "/"); });
  ASSERT_TRUE(SpinUntil([&] { return connected == 3; }));
  {
    Client refused(port);  // a third client is one too many
    ASSERT_TRUE(SpinUntil([&] { return refused.Ended(); }));
    EXPECT_NE(refused.Head().find("503"), std::string::npos) << refused.Head();
    Client garbage(port, "HELLO THERE\r\n\r\n");
    ASSERT_TRUE(SpinUntil([&] { return garbage.Ended(); }));
    EXPECT_NE(garbage.Head().find("400"), std::string::npos) << garbage.Head();
    Client oversized(port, "GET /" + std::string(10000, 'a'));
    ASSERT_TRUE(SpinUntil([&] { return oversized.Ended(); }));
  }
  EXPECT_EQ(connected, 3);

  input.DeliveriesAllowed = INT_MAX;
  // The stalled client takes nothing for four seconds and is dropped; the others go on.
  ASSERT_TRUE(SpinUntil([&] { return done; }, 60000));
  EXPECT_EQ(error, "");
  EXPECT_EQ(disconnected, 3);  // the stalled one dropped, the others at the end of the stream
  ASSERT_TRUE(SpinUntil([&] { return listener.Ended(); }));

  EXPECT_NE(listener.Head().find("200"), std::string::npos);
  EXPECT_NE(listener.Head().find("application/vnd.ms-asf"), std::string::npos);
  TempDir dir;
  WriteBytes(dir.File("heard.wma"), listener.Body());
  const auto decoded = DecodeWithFfmpeg(dir.File("heard.wma"));
  EXPECT_GE(decoded.size(), 44100u * 2 * 59);  // a minute of stereo, give or take the codec's frames
  player.join();
  EXPECT_EQ(played.size(), decoded.size());
}

}  // namespace
