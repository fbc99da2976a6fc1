#pragma once

#include "Catalog.h"

#include <cstdio>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>

namespace market {

struct ServerOptions
{
    std::string root;
    std::string host = "127.0.0.1";
    int port = 8742;
    int threads = 128;                 // connections served at once (keep-alive holds one each)
    size_t maxBodyBytes = 64 * 1024;   // request bodies are tiny JSON objects
    int readTimeoutSeconds = 5;        // a client that stops sending is dropped after this
    int writeTimeoutSeconds = 5;
    FILE* accessLog = stdout;          // one line per request; null for none
};

// The market's HTTP face: POST /v1/market/catalog and POST /v1/market/download
// answered from the catalogue in memory, which reload() swaps atomically. Holds no
// key; the files it serves are signed offline.
class MarketServer
{
public:
    explicit MarketServer(ServerOptions options);

    // Loads the root folder; false (with *error) when it cannot be listed.
    bool reload(std::string* error);
    // Binds the listening socket; false when the address cannot be bound.
    bool bind();
    // Serves until stop().
    bool serve();
    void stop();
    // The port bound (useful with port 0).
    int boundPort() const { return m_boundPort; }

    std::shared_ptr<const Catalog> catalog() const;

private:
    void route();
    void accessLog(const httplib::Request& req, const httplib::Response& res) const;

    ServerOptions m_options;
    httplib::Server m_server;
    mutable std::mutex m_lock;
    std::shared_ptr<const Catalog> m_catalog;
    int m_boundPort = 0;
    int m_listenSocket = -1;
};

} // namespace market
