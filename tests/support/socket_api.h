#pragma once
// The few socket calls the test helpers make, on POSIX and on Windows
// (Winsock). Descriptors are kept as int on both: a Winsock SOCKET is a handle
// value that fits in 32 bits, and an invalid one becomes -1.

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace veltest {

#if defined(_WIN32)
// Winsock needs its start-up call before the first socket; the count it keeps
// makes a second start-up (the library's own) harmless.
inline bool startSockets() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
constexpr int kSendFlags = 0;  // Winsock raises no SIGPIPE
constexpr int kShutdownBoth = SD_BOTH;
inline int openTcpSocket() {
    startSockets();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
inline int acceptConnection(int listening) {
    const SOCKET s = ::accept(static_cast<SOCKET>(listening), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
inline void closeSocket(int fd) { ::closesocket(static_cast<SOCKET>(fd)); }
inline void setIntOption(int fd, int level, int name, int value) {
    ::setsockopt(static_cast<SOCKET>(fd), level, name, reinterpret_cast<const char*>(&value), sizeof value);
}
// Winsock's accept() does not return when its socket is shut down, only when
// it is closed: the listening socket is closed here and marked so.
inline void stopListening(int& fd) {
    closeSocket(fd);
    fd = -1;
}
// Waits until the socket has bytes (or its end) to read: 1, 0 after
// timeoutMs, -1 on an error.
inline int waitReadable(int fd, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(fd), &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &timeout);
    return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kShutdownBoth = SHUT_RDWR;
inline int openTcpSocket() { return ::socket(AF_INET, SOCK_STREAM, 0); }
inline int acceptConnection(int listening) { return ::accept(listening, nullptr, nullptr); }
inline void closeSocket(int fd) { ::close(fd); }
inline void setIntOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}
// Shutting the listening socket down wakes a blocked accept(); it is closed later.
inline void stopListening(int& fd) { ::shutdown(fd, SHUT_RDWR); }
inline int waitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeoutMs);
    return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
}
#endif

}  // namespace veltest
