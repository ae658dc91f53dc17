// A TCP proxy on 127.0.0.1 in front of the test server, for the moment a
// connection breaks during a save. It relays both ways and reads what the
// client sends; at the next simple-query COMMIT it can cut the connection
// before the server has it, or let the server commit, read its answer and
// cut before the answer reaches the client, or cut only the client's side
// so that the server goes on holding the transaction open. While told to,
// it refuses new connections, as a server that cannot be reached.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace officerecords::testkit {

enum class commit_cut {
    none,
    before,       // the COMMIT never reaches the server; both sides are cut
    after,        // the server commits; its answer is read and dropped, both sides cut
    client_side,  // the COMMIT never reaches the server, whose side stays open
};

class cutting_proxy {
public:
    // In front of the server that `uri` (postgresql://user@host:port/db) names.
    explicit cutting_proxy(const std::string& uri) {
        const auto [host, port] = host_and_port(uri);
        upstream_.sin_family = AF_INET;
        upstream_.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &upstream_.sin_addr);
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in here{};
        here.sin_family = AF_INET;
        here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&here), sizeof here);
        ::listen(listener_, 16);
        socklen_t size = sizeof here;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&here), &size);
        port_ = ntohs(here.sin_port);
        if (::pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
        thread_ = std::thread([this] { run(); });
    }
    ~cutting_proxy() {
        stopping_ = true;
        wake();
        thread_.join();
        for (link& l : links_) close_link(l);
        ::close(listener_);
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
    cutting_proxy(const cutting_proxy&) = delete;
    cutting_proxy& operator=(const cutting_proxy&) = delete;

    // The same database through the proxy, without TLS so that the
    // messages can be read.
    std::string via(const std::string& uri) const {
        const std::size_t scheme = uri.find("://") + 3;
        const std::size_t path = uri.find('/', scheme);
        std::size_t at = uri.rfind('@', path);
        const std::size_t host = at == std::string::npos || at < scheme ? scheme : at + 1;
        std::string out = uri.substr(0, host) + "127.0.0.1:" + std::to_string(port_) + uri.substr(path);
        out += out.find('?') == std::string::npos ? "?" : "&";
        return out + "sslmode=disable&gssencmode=disable";
    }

    // What the next COMMIT any client sends runs into.
    void cut_next_commit(commit_cut how) { armed_ = how; }
    // New connections are closed at once while refusing.
    void refuse(bool on) { refusing_ = on; }
    // COMMITs seen, and those cut, since the proxy started.
    int commits() const { return commits_; }
    int cuts() const { return cuts_; }
    // Connections refused since the proxy started.
    int refused() const { return refused_; }

private:
    struct link {
        int client = -1;
        int server = -1;
        std::string from_client;  // bytes of a message not complete yet
        std::string from_server;  // only while an answer is awaited
        bool started = false;     // past the startup packet
        bool awaiting = false;    // COMMIT forwarded, its answer to be dropped
    };

    static std::pair<std::string, int> host_and_port(const std::string& uri) {
        const std::size_t scheme = uri.find("://") + 3;
        const std::size_t path = uri.find('/', scheme);
        std::string authority = uri.substr(scheme, path - scheme);
        if (const std::size_t at = authority.rfind('@'); at != std::string::npos)
            authority = authority.substr(at + 1);
        const std::size_t colon = authority.rfind(':');
        if (colon == std::string::npos) return {authority, 5432};
        return {authority.substr(0, colon), std::stoi(authority.substr(colon + 1))};
    }

    static std::uint32_t be32(const char* p) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return ntohl(v);
    }

    static bool is_commit(const std::string& message) {
        // 'Q', length, the query and its terminating zero; or, sent in a
        // pipeline, 'P', length, the statement's name, then the query.
        std::string q;
        if (message[0] == 'Q') {
            q = message.substr(5, message.size() > 6 ? message.size() - 6 : 0);
        } else {
            const std::size_t name_end = message.find('\0', 5);
            if (name_end == std::string::npos) return false;
            const std::size_t query_end = message.find('\0', name_end + 1);
            if (query_end == std::string::npos) return false;
            q = message.substr(name_end + 1, query_end - name_end - 1);
        }
        std::erase_if(q, [](char c) { return std::isspace(static_cast<unsigned char>(c)) || c == ';'; });
        std::transform(q.begin(), q.end(), q.begin(), [](char c) { return std::toupper(c); });
        return q == "COMMIT" || q == "END";
    }

    static bool send_all(int fd, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    void wake() {
        const char c = 0;
        (void)!::write(wake_[1], &c, 1);
    }

    static void close_link(link& l) {
        if (l.client >= 0) ::close(l.client);
        if (l.server >= 0) ::close(l.server);
        l.client = l.server = -1;
    }

    void accept_one() {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        if (refusing_) {
            ++refused_;
            ::close(client);
            return;
        }
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(server, reinterpret_cast<const sockaddr*>(&upstream_), sizeof upstream_) != 0) {
            ::close(server);
            ::close(client);
            return;
        }
        link l;
        l.client = client;
        l.server = server;
        links_.push_back(std::move(l));
    }

    // Complete messages from the client are passed on, a COMMIT perhaps not.
    bool from_client(link& l) {
        char buf[65536];
        const ssize_t n = ::recv(l.client, buf, sizeof buf, 0);
        if (n <= 0) return false;
        l.from_client.append(buf, static_cast<std::size_t>(n));
        for (;;) {
            const std::size_t head = l.started ? 5 : 4;
            if (l.from_client.size() < head) return true;
            const std::size_t size = be32(l.from_client.data() + head - 4) + (l.started ? 1 : 0);
            if (l.from_client.size() < size) return true;
            const std::string message = l.from_client.substr(0, size);
            l.from_client.erase(0, size);
            if (!l.started) {
                // A request for TLS or GSS is answered by one byte, and the
                // startup packet follows; the protocol's version starts it.
                l.started = size >= 8 && be32(message.data() + 4) == 196608u;
            } else if ((message[0] == 'Q' || message[0] == 'P') && is_commit(message)) {
                ++commits_;
                const commit_cut how = armed_.exchange(commit_cut::none);
                if (how == commit_cut::before) {
                    ++cuts_;
                    return false;
                }
                if (how == commit_cut::client_side) {
                    ++cuts_;
                    ::close(l.client);
                    l.client = -1;
                    return true;
                }
                if (how == commit_cut::after) {
                    ++cuts_;
                    l.awaiting = true;
                }
            }
            if (!send_all(l.server, message.data(), message.size())) return false;
        }
    }

    // The server's bytes go to the client, except the answer to a COMMIT
    // that is to be lost: read to its ReadyForQuery, then both sides cut.
    bool from_server(link& l) {
        char buf[65536];
        const ssize_t n = ::recv(l.server, buf, sizeof buf, 0);
        if (n <= 0) return false;
        if (l.client < 0) return true;
        if (!l.awaiting) return send_all(l.client, buf, static_cast<std::size_t>(n));
        l.from_server.append(buf, static_cast<std::size_t>(n));
        while (l.from_server.size() >= 5) {
            const std::size_t size = be32(l.from_server.data() + 1) + 1;
            if (l.from_server.size() < size) break;
            const char type = l.from_server[0];
            l.from_server.erase(0, size);
            if (type == 'Z') return false;
        }
        return true;
    }

    void run() {
        while (!stopping_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            for (const link& l : links_) {
                fds.push_back({l.client, POLLIN, 0});
                fds.push_back({l.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[1].revents) {
                char drain[16];
                (void)!::read(wake_[0], drain, sizeof drain);
            }
            for (std::size_t i = 0; i < links_.size(); ++i) {
                link& l = links_[i];
                const short from_c = fds[2 + 2 * i].revents;
                const short from_s = fds[3 + 2 * i].revents;
                bool open = true;
                if (from_c && l.client >= 0) open = from_client(l);
                if (open && from_s) open = from_server(l);
                if (!open) close_link(l);
            }
            std::erase_if(links_, [](const link& l) { return l.server < 0; });
            if (fds[0].revents) accept_one();
        }
    }

    sockaddr_in upstream_{};
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::vector<link> links_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> refusing_{false};
    std::atomic<commit_cut> armed_{commit_cut::none};
    std::atomic<int> commits_{0};
    std::atomic<int> cuts_{0};
    std::atomic<int> refused_{0};
};

}  // namespace officerecords::testkit
