#pragma once

// QNetworkAccessManager sends a request in two writes, the headers and then the body. With
// Nagle's algorithm on, the body waits until the server has acknowledged the headers, and servers
// delay that acknowledgement by up to 40 ms (200 ms on some systems): every request with a body
// could take that long. Qt gives no access to the connections it keeps open, so they are found
// among the process's open files once they exist and switched to sending at once.
class TcpNoDelay {
public:
    // Sets TCP_NODELAY on every open TCP connection of this process that lacks it; returns how
    // many were changed. Elsewhere than on Linux it does nothing.
    static int ApplyToOpenConnections();
    // Whether the socket `fd` is a TCP connection that sends at once.
    static bool IsSet(int fd);
};
