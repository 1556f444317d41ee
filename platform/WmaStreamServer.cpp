#include "platform/WmaStreamServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "platform/Error.h"

namespace media {
namespace {

constexpr size_t kLargestRequest = 8192;
constexpr int64_t kRequestTimeoutMs = 5000;
/// A client that takes nothing for this long has stopped reading.
constexpr int64_t kStalledMs = 4000;
/// How far behind the stream a client may fall before it is dropped.
constexpr int64_t kWindowSeconds = 4;
/// After the stream has ended, the clients have this long to take the rest.
constexpr int64_t kEndGraceMs = 5000;
constexpr char kAccepted[] =
    "HTTP/1.0 200 OK\r\nContent-Type: application/vnd.ms-asf\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
constexpr char kBusy[] = "HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
constexpr char kBadRequest[] = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

/// Best effort: a refused client gets a word, if it listens.
void SendAndClose(int fd, const char* text) {
  (void)::send(fd, text, std::strlen(text), MSG_NOSIGNAL);
  ::close(fd);
}

}  // namespace

WmaStreamServer::~WmaStreamServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Close();
}

uint32_t WmaStreamServer::Open(uint32_t port) {
  std::lock_guard lock(mutex_);
  if (listener_ >= 0) throw Error(ErrorKind::Failed, "The stream server is open already");
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw Error(ErrorKind::Failed, ErrnoText(errno));
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  int pipe[2];
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int cause = errno;
    ::close(fd);
    if (cause == EADDRINUSE) throw Error(ErrorKind::Failed, "port " + std::to_string(port) + " is in use by another program");
    throw Error(ErrorKind::Failed, WithErrno("cannot listen on port " + std::to_string(port), cause));
  }
  if (::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int cause = errno;
    ::close(fd);
    throw Error(ErrorKind::Failed, ErrnoText(cause));
  }
  SetNonBlocking(fd);
  listener_ = fd;
  wakeRead_ = pipe[0];
  wakeWrite_ = pipe[1];
  port_ = ntohs(address.sin_port);
  stopping_ = false;
  thread_ = std::thread([this] { Serve(); });
  return port_;
}

void WmaStreamServer::SetMaximumClients(uint32_t clients) {
  std::lock_guard lock(mutex_);
  maxClients_ = clients;
}

void WmaStreamServer::Close(bool drain) {
  {
    std::lock_guard lock(mutex_);
    if (listener_ < 0) return;
    closing_ = true;  // the clients get what is queued for them first
    closingSinceMs_ = 0;
    if (!drain) stopping_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  for (Client& client : clients_) ::close(client.fd);
  clients_.clear();
  ::close(listener_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
  listener_ = wakeRead_ = wakeWrite_ = -1;
  header_.clear();
  window_.clear();
  windowStart_ = windowBytes_ = streamEnd_ = 0;
  closing_ = false;
  stopping_ = false;
}

void WmaStreamServer::SetStreamRate(int64_t bytesPerSecond) {
  std::lock_guard lock(mutex_);
  windowLimit_ = std::max<int64_t>(64 * 1024, bytesPerSecond * kWindowSeconds);
}

void WmaStreamServer::SetHeader(std::vector<uint8_t> header) {
  {
    std::lock_guard lock(mutex_);
    header_ = std::move(header);
  }
  Wake();
}

void WmaStreamServer::Deliver(const std::vector<uint8_t>& packets) {
  if (packets.empty()) return;
  int dropped = 0;
  {
    std::lock_guard lock(mutex_);
    window_.push_back(packets);
    windowBytes_ += static_cast<int64_t>(packets.size());
    streamEnd_ += static_cast<int64_t>(packets.size());
    while (windowBytes_ > windowLimit_ && window_.size() > 1) {
      windowBytes_ -= static_cast<int64_t>(window_.front().size());
      windowStart_ += static_cast<int64_t>(window_.front().size());
      window_.pop_front();
    }
    // A client whose next byte has left the window is too far behind.
    for (size_t i = clients_.size(); i-- > 0;) {
      if (clients_[i].streaming && clients_[i].position < windowStart_) {
        Drop(i);
        ++dropped;
      }
    }
  }
  for (int i = 0; i < dropped; ++i) Report(false);
  Wake();
}

void WmaStreamServer::Wake() {
  std::lock_guard lock(mutex_);
  if (wakeWrite_ >= 0) (void)!::write(wakeWrite_, "w", 1);
}

void WmaStreamServer::Report(bool connected) {
  const ClientEvent& event = connected ? onConnected_ : onDisconnected_;
  if (event) event();
}

void WmaStreamServer::Drop(size_t index) {
  ::close(clients_[index].fd);
  clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool WmaStreamServer::ReadRequest(Client& client) {
  char bytes[2048];
  for (;;) {
    const ssize_t got = ::recv(client.fd, bytes, sizeof bytes, 0);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    client.request.append(bytes, static_cast<size_t>(got));
    if (client.request.size() > kLargestRequest) return false;
  }
}

bool WmaStreamServer::SendQueued(Client& client) {
  while (!client.prefix.empty()) {
    const ssize_t sent = ::send(client.fd, client.prefix.data(), client.prefix.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    client.prefix.erase(0, static_cast<size_t>(sent));
    client.progressMs = NowMs();
  }
  // Packets from the shared window, from where this client is.
  int64_t chunkStart = windowStart_;
  for (const std::vector<uint8_t>& chunk : window_) {
    const int64_t chunkEnd = chunkStart + static_cast<int64_t>(chunk.size());
    while (client.position >= chunkStart && client.position < chunkEnd) {
      const auto from = static_cast<size_t>(client.position - chunkStart);
      const ssize_t sent = ::send(client.fd, chunk.data() + from, chunk.size() - from, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
      client.position += sent;
      client.progressMs = NowMs();
    }
    chunkStart = chunkEnd;
  }
  return true;
}

void WmaStreamServer::Accept() {
  for (;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    // A small send buffer keeps what a stalled client holds up in our queue,
    // where it is noticed, instead of in the kernel.
    const int sendBuffer = 64 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    Client client;
    client.id = nextClientId_++;
    client.fd = fd;
    client.acceptedAtMs = NowMs();
    clients_.push_back(std::move(client));
  }
}

void WmaStreamServer::Serve() {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<uint64_t> polledIds;  // of fds[2...]
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      fds.push_back({wakeRead_, POLLIN, 0});
      fds.push_back({listener_, POLLIN, 0});
      for (const Client& client : clients_) {
        fds.push_back({client.fd, static_cast<short>(POLLIN | (client.streaming && HasPending(client) ? POLLOUT : 0)), 0});
        polledIds.push_back(client.id);
      }
    }
    ::poll(fds.data(), fds.size(), 250);
    int connected = 0, disconnected = 0;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      char drain[64];
      while (::read(wakeRead_, drain, sizeof drain) > 0) {
      }
      // What poll saw, by client: Deliver may have dropped some since, and
      // their descriptors may already belong to clients accepted after.
      std::unordered_map<uint64_t, short> seen;
      for (size_t i = 0; i < polledIds.size(); ++i) seen.emplace(polledIds[i], fds[i + 2].revents);
      if ((fds[1].revents & POLLIN) && !closing_) Accept();
      const int64_t now = NowMs();
      size_t streaming = static_cast<size_t>(std::count_if(clients_.begin(), clients_.end(), [](const Client& c) { return c.streaming; }));
      for (size_t i = clients_.size(); i-- > 0;) {
        Client& client = clients_[i];
        const auto found = seen.find(client.id);
        const short events = found != seen.end() ? found->second : 0;
        if (!client.streaming) {
          if (closing_ || ((events & (POLLIN | POLLHUP | POLLERR)) && !ReadRequest(client))) {
            Drop(i);
            continue;
          }
          const size_t end = client.request.find("\r\n\r\n");
          if (end == std::string::npos) {
            if (now - client.acceptedAtMs > kRequestTimeoutMs) Drop(i);
            continue;
          }
          if (client.request.rfind("GET ", 0) != 0) {
            SendAndClose(client.fd, kBadRequest);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
          }
          if (maxClients_ != 0 && streaming >= maxClients_) {
            SendAndClose(client.fd, kBusy);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
          }
          if (header_.empty()) continue;  // answered once the stream has begun
          client.streaming = true;
          client.progressMs = now;
          ++streaming;
          // The stream from the next packet on, after the response and the stream header.
          client.prefix.assign(kAccepted);
          client.prefix.append(header_.begin(), header_.end());
          client.position = streamEnd_;
          ++connected;
        } else if (events & (POLLIN | POLLHUP | POLLERR)) {
          char ignored[512];
          const ssize_t got = ::recv(client.fd, ignored, sizeof ignored, MSG_DONTWAIT);
          if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Drop(i);
            ++disconnected;
            continue;
          }
        }
        if (client.streaming && (!SendQueued(client) || (HasPending(client) && now - client.progressMs > kStalledMs))) {
          Drop(i);
          ++disconnected;
          continue;
        }
        if (!HasPending(client)) client.progressMs = now;
      }
      if (closing_) {
        // The stream has ended: done once every client has had all of it, or
        // once the grace for the slow ones is over.
        if (closingSinceMs_ == 0) closingSinceMs_ = now;
        const bool drained =
            std::all_of(clients_.begin(), clients_.end(), [this](const Client& c) { return !c.streaming || !HasPending(c); });
        if (drained || now - closingSinceMs_ > kEndGraceMs) {
          disconnected += static_cast<int>(clients_.size());
          for (size_t i = clients_.size(); i-- > 0;) Drop(i);
        }
      }
    }
    for (int i = 0; i < connected; ++i) Report(true);
    for (int i = 0; i < disconnected; ++i) Report(false);
    std::lock_guard lock(mutex_);
    if (closing_ && clients_.empty()) return;
  }
}

}  // namespace media
