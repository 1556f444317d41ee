// The WMA stream served over HTTP: clients on the loopback address receive
// and decode it; the client limit, client events, stalled and bad clients.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
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
  /// With `bytesPerSecond` it reads that slowly, as a listener on a poor line.
  Client(uint32_t port, const std::string& request = "GET /stream HTTP/1.0\r\n\r\n", bool stalled = false,
         int bytesPerSecond = 0) {
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
      reader_ = std::thread([this, bytesPerSecond] {
        char bytes[16384];
        const size_t slice = bytesPerSecond > 0 ? static_cast<size_t>(bytesPerSecond) / 10 : sizeof bytes;
        for (ssize_t got; !closing_ && (got = ::recv(fd_, bytes, std::min(slice, sizeof bytes), 0)) > 0;) {
          received_.insert(received_.end(), bytes, bytes + got);
          total_ += static_cast<size_t>(got);
          if (bytesPerSecond > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ended_ = true;
      });
  }
  ~Client() {
    closing_ = true;
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
  std::atomic<bool> closing_{false};
};

TEST(WmaStream, ClientsReceiveAndDecodeTheStream) {
  Sealed<MemoryInput> input(0);
  input.SetSamples(ToneSamples(44100 * 6, 2, 44100));  // served at its own pace: six seconds
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
  // The stalled client is dropped (it falls behind, or at the end of the
  // stream's grace at the latest); the others go on.
  ASSERT_TRUE(SpinUntil([&] { return done; }, 60000));
  EXPECT_EQ(error, "");
  EXPECT_EQ(disconnected, 3);  // the stalled one dropped, the others at the end of the stream
  ASSERT_TRUE(SpinUntil([&] { return listener.Ended(); }));

  EXPECT_NE(listener.Head().find("200"), std::string::npos);
  EXPECT_NE(listener.Head().find("application/vnd.ms-asf"), std::string::npos);
  TempDir dir;
  WriteBytes(dir.File("heard.wma"), listener.Body());
  const auto decoded = DecodeWithFfmpeg(dir.File("heard.wma"));
  EXPECT_GE(decoded.size(), 44100u * 2 * 5);  // six seconds of stereo, give or take the codec's frames
  player.join();
  EXPECT_EQ(played.size(), decoded.size());
}

TEST(WmaStream, SlowListenersAreDroppedAndCannotHoldTheStreamUp) {
  // Twenty listeners that take 2 KB a second of a 16 KB/s stream, and one
  // that keeps up: the slow ones fall behind and go, the stream ends on time,
  // and what is kept for them stays a few seconds of the stream.
  Sealed<MemoryInput> input(0);
  input.SetSamples(ToneSamples(44100 * 10, 2, 44100));
  input.ChannelCount = 2;
  input.Rate = 44100;
  input.BlockSize = 8192;
  input.DeliveriesAllowed = 0;
  Sealed<TWMStreamedOut> output;
  output.SetDesiredBitrate(128000);
  int connected = 0, disconnected = 0;
  bool done = false;
  output.OnClientConnected = [&](TComponent*) { ++connected; };
  output.OnClientDisconnected = [&](TComponent*) { ++disconnected; };
  output.OnDone = [&](TComponent*) { done = true; };
  output.SetInput(&input);
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return output.Port() != 0; }));
  std::vector<std::unique_ptr<Client>> slow;
  for (int i = 0; i < 20; ++i)
    slow.push_back(std::make_unique<Client>(output.Port(), "GET / HTTP/1.0\r\n\r\n", false, 2048));
  Client keeping(output.Port());
  ASSERT_TRUE(SpinUntil([&] { return connected == 21; }));
  const auto started = std::chrono::steady_clock::now();
  input.DeliveriesAllowed = INT_MAX;
  ASSERT_TRUE(SpinUntil([&] { return done; }, 40000));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 10 + 5 + 3);  // the stream's own time, the end's grace, and some slack
  EXPECT_EQ(disconnected, 21);
  ASSERT_TRUE(SpinUntil([&] { return keeping.Ended(); }));
  // The slow ones were dropped long before the end: what they got (and what
  // their sockets still hold for them) is a fraction of the stream.
  for (const auto& client : slow) EXPECT_LT(client->Total() * 3, keeping.Total());
  TempDir dir;
  WriteBytes(dir.File("kept.wma"), keeping.Body());
  EXPECT_GE(DecodeWithFfmpeg(dir.File("kept.wma")).size(), 44100u * 2 * 9);
}

}  // namespace
