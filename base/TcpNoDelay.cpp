#include "TcpNoDelay.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdlib>

namespace {

bool IsTcp(int fd) {
    int type = 0;
    socklen_t size = sizeof(type);
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    return address.ss_family == AF_INET || address.ss_family == AF_INET6;
}

bool NoDelay(int fd) {
    int on = 0;
    socklen_t size = sizeof(on);
    return getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

}  // namespace

int TcpNoDelay::ApplyToOpenConnections() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return 0;
    int changed = 0;
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        const int socket = static_cast<int>(fd);
        if (!IsTcp(socket) || NoDelay(socket))
            continue;
        const int on = 1;
        if (setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) == 0)
            ++changed;
    }
    closedir(dir);
    return changed;
}

bool TcpNoDelay::IsSet(int fd) {
    return IsTcp(fd) && NoDelay(fd);
}

#else

int TcpNoDelay::ApplyToOpenConnections() {
    return 0;
}

bool TcpNoDelay::IsSet(int) {
    return false;
}

#endif
