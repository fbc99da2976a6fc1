#include "MarketServer.h"

#include <chrono>
#include <ctime>
#include <sys/socket.h>

#include "Signing.h"

namespace market {

namespace {

const char* const kCatalogPath = "/v1/market/catalog";
const char* const kDownloadPath = "/v1/market/download";
const char* const kJson = "application/json";

void sendError(httplib::Response& res, int status, const std::string& code, const std::string& message)
{
    res.status = status;
    Json body = Json::object();
    body["error"] = code;
    body["message"] = message;
    res.set_content(body.dump(), kJson);
}

// The default text and code for a status that no handler explained.
std::pair<const char*, const char*> describeStatus(int status)
{
    switch (status) {
    case 400:
        return {"bad_request", "The request could not be read."};
    case 404:
        return {"not_found", "No such resource."};
    case 405:
        return {"method_not_allowed", "Only POST is accepted here."};
    case 408:
        return {"timeout", "The request took too long to arrive."};
    case 413:
        return {"payload_too_large", "The request body is too large."};
    case 414:
        return {"uri_too_long", "The request line is too long."};
    default:
        return {status >= 500 ? "internal" : "error", status >= 500 ? "Internal server error." : "Request failed."};
    }
}

// Request bodies are JSON objects; anything else, including trailing bytes after
// the object, is refused.
bool parseBody(const httplib::Request& req, httplib::Response& res, Json* body)
{
    *body = Json::parse(req.body, nullptr, false);
    if (body->is_discarded()) {
        sendError(res, 400, "bad_request", "The request body is not valid JSON.");
        return false;
    }
    if (!body->is_object()) {
        sendError(res, 400, "bad_request", "The request body must be a JSON object.");
        return false;
    }
    return true;
}

bool isMarketPath(const std::string& path)
{
    return path == kCatalogPath || path == kDownloadPath;
}

} // namespace

MarketServer::MarketServer(ServerOptions options)
    : m_options(std::move(options))
{
    const size_t threads = size_t(std::max(1, m_options.threads));
    m_server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    m_server.set_payload_max_length(m_options.maxBodyBytes);
    m_server.set_read_timeout(m_options.readTimeoutSeconds, 0);
    m_server.set_write_timeout(m_options.writeTimeoutSeconds, 0);
    m_server.set_keep_alive_timeout(m_options.readTimeoutSeconds);
    m_server.set_keep_alive_max_count(1000);
    m_server.set_tcp_nodelay(true);
    // Replaces the library's default options, so SO_REUSEADDR is set here; the
    // socket is kept to widen its accept queue once it listens.
    m_server.set_socket_options([this](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listenSocket = sock;
    });
    route();
}

std::shared_ptr<const Catalog> MarketServer::catalog() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_catalog;
}

bool MarketServer::reload(std::string* error)
{
    auto next = loadCatalog(m_options.root, error);
    if (!next)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_catalog = std::move(next);
    return true;
}

void MarketServer::route()
{
    m_server.Post(kCatalogPath, [this](const httplib::Request& req, httplib::Response& res) {
        Json body;
        if (!parseBody(req, res, &body))
            return;
        const auto current = catalog();
        res.set_content(current ? current->catalogBody : std::string("{\"items\":[]}"), kJson);
    });

    m_server.Post(kDownloadPath, [this](const httplib::Request& req, httplib::Response& res) {
        Json body;
        if (!parseBody(req, res, &body))
            return;
        const auto id = body.find("item_id");
        if (id == body.end() || !id->is_string() || id->get_ref<const std::string&>().empty()) {
            sendError(res, 400, "bad_request", "\"item_id\" must be a non-empty string.");
            return;
        }
        const auto current = catalog();
        const std::string& itemId = id->get_ref<const std::string&>();
        const bool known = current && current->downloadBodies.count(itemId) > 0;
        if (!known) {
            sendError(res, 404, "not_found", "No item with the id \"" + itemId + "\" is in the market.");
            return;
        }
        res.set_content(current->downloadBodies.at(itemId), kJson);
    });

    // The market paths exist for POST only; everything else is unknown.
    const auto otherMethod = [](const httplib::Request& req, httplib::Response& res) {
        if (isMarketPath(req.path)) {
            res.set_header("Allow", "POST");
            sendError(res, 405, "method_not_allowed", "Only POST is accepted at " + req.path + ".");
        } else {
            sendError(res, 404, "not_found", "No such resource.");
        }
    };
    m_server.Get(".*", otherMethod);
    m_server.Put(".*", otherMethod);
    m_server.Patch(".*", otherMethod);
    m_server.Delete(".*", otherMethod);
    m_server.Options(".*", otherMethod);
    m_server.Post(".*", [](const httplib::Request&, httplib::Response& res) {
        sendError(res, 404, "not_found", "No such resource.");
    });

    // Statuses set by the HTTP layer itself (unreadable request, body too large,
    // unknown method) get the same error body as ours.
    m_server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty())
            return;
        const auto [code, message] = describeStatus(res.status);
        sendError(res, res.status, code, message);
    });
    m_server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        sendError(res, 500, "internal", "Internal server error.");
    });
    m_server.set_logger(
        [this](const httplib::Request& req, const httplib::Response& res) { accessLog(req, res); });
}

void MarketServer::accessLog(const httplib::Request& req, const httplib::Response& res) const
{
    if (!m_options.accessLog)
        return;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
    // Paths come from the client: keep them printable and short so a line stays a line.
    std::string path;
    for (char c : req.path.substr(0, 200))
        path += (c >= 0x21 && c < 0x7f) ? c : '?';
    std::string method;
    for (char c : req.method.substr(0, 16))
        method += (c >= 0x21 && c < 0x7f) ? c : '?';
    const std::string line = std::string(when) + " " + req.remote_addr + " " + (method.empty() ? "-" : method) +
                             " " + (path.empty() ? "-" : path) + " " + std::to_string(res.status) + " " +
                             std::to_string(res.body.size()) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_options.accessLog);
}

bool MarketServer::bind()
{
    if (m_options.port == 0) {
        m_boundPort = m_server.bind_to_any_port(m_options.host);
        if (m_boundPort <= 0)
            return false;
    } else {
        if (!m_server.bind_to_port(m_options.host, m_options.port))
            return false;
        m_boundPort = m_options.port;
    }
    // The library listens with a backlog of 5: a burst of new connections would
    // overflow it and wait a second for a SYN retransmission, or be reset.
    // Listening again on the same socket only changes the backlog.
    if (m_listenSocket >= 0)
        ::listen(m_listenSocket, SOMAXCONN);
    return true;
}

bool MarketServer::serve()
{
    return m_server.listen_after_bind();
}

void MarketServer::stop()
{
    m_server.stop();
}

} // namespace market
