// Load on the ring market server: starts `rondix-market serve` on 127.0.0.1
// with the bundled catalogue, then drives it from 64 keep-alive connections,
// first with catalogue requests, then with downloads. Prints requests per
// second, latency percentiles and the server's resident memory before and after.
// Bounded: a fixed number of requests per phase and a time limit.
//
//   bench/market_load [--connections N] [--requests N] [--seconds S] [--root DIR]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Server
{
    pid_t pid = -1;
    int port = 0;
};

Server startServer(const std::string& root)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string tool = RONDIX_BINARY_DIR "/bin/rondix-market";
    std::vector<std::string> args = {tool, "serve", "--root", root, "--listen", "127.0.0.1:0", "--quiet"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    Server server;
    if (posix_spawn(&server.pid, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        server.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string output;
    char buffer[256];
    ssize_t n;
    while (server.pid > 0 && output.find('\n') == std::string::npos && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, size_t(n));
    close(pipeFds[0]);
    const size_t at = output.rfind(':');
    if (at != std::string::npos)
        server.port = std::atoi(output.c_str() + at + 1);
    std::printf("%s", output.c_str());
    return server;
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Phase
{
    double seconds = 0;
    size_t ok = 0, failed = 0;
    std::vector<double> latenciesMs;
};

Phase run(int port, int connections, size_t requests, double limitSeconds, const std::string& path,
          const std::vector<std::string>& bodies)
{
    std::atomic<size_t> next{0};
    std::atomic<size_t> failed{0};
    std::vector<std::vector<double>> latencies(static_cast<size_t>(connections));
    const auto deadline = Clock::now() + std::chrono::duration<double>(limitSeconds);
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_connection_timeout(2);
            client.set_read_timeout(5);
            auto& mine = latencies[size_t(c)];
            for (;;) {
                const size_t i = next.fetch_add(1);
                if (i >= requests || Clock::now() > deadline)
                    break;
                const auto t0 = Clock::now();
                auto result = client.Post(path, bodies[i % bodies.size()], "application/json");
                const auto t1 = Clock::now();
                if (!result || result->status != 200) {
                    if (failed.fetch_add(1) < 3)
                        std::fprintf(stderr, "failed request: %s\n",
                                     result ? std::to_string(result->status).c_str()
                                            : httplib::to_string(result.error()).c_str());
                    continue;
                }
                mine.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    Phase phase;
    phase.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (auto& list : latencies)
        phase.latenciesMs.insert(phase.latenciesMs.end(), list.begin(), list.end());
    phase.ok = phase.latenciesMs.size();
    phase.failed = failed.load();
    std::sort(phase.latenciesMs.begin(), phase.latenciesMs.end());
    return phase;
}

double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    return sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size())))];
}

void report(const char* name, const Phase& phase, int connections, const char* target)
{
    std::printf("%-9s %7zu ok %5zu failed in %5.2f s: %8.0f requests/s (%s); latency p50 %.2f ms, "
                "p99 %.2f ms (target < 20 ms), max %.2f ms at %d connections\n",
                name, phase.ok, phase.failed, phase.seconds, double(phase.ok) / phase.seconds, target,
                percentile(phase.latenciesMs, 0.50), percentile(phase.latenciesMs, 0.99),
                phase.latenciesMs.empty() ? 0.0 : phase.latenciesMs.back(), connections);
}

} // namespace

int main(int argc, char** argv)
{
    int connections = 64;
    size_t requests = 40000;
    double seconds = 20;
    std::string root = RONDIX_BINARY_DIR "/market/root";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--connections")
            connections = std::clamp(std::atoi(argv[i + 1]), 1, 512);
        else if (name == "--requests")
            requests = size_t(std::clamp(std::atol(argv[i + 1]), 1L, 1000000L));
        else if (name == "--seconds")
            seconds = std::clamp(std::atof(argv[i + 1]), 1.0, 120.0);
        else if (name == "--root")
            root = argv[i + 1];
    }

    const Server server = startServer(root);
    if (server.pid <= 0 || server.port <= 0) {
        std::fprintf(stderr, "market_load: the server did not start\n");
        return 1;
    }

    // The ids the catalogue offers, for the downloads.
    std::vector<std::string> downloads;
    {
        httplib::Client client("127.0.0.1", server.port);
        auto result = client.Post("/v1/market/catalog", "{}", "application/json");
        const std::string body = result ? result->body : std::string();
        for (size_t at = body.find("\"id\":\""); at != std::string::npos; at = body.find("\"id\":\"", at + 1)) {
            const size_t start = at + 6;
            downloads.push_back("{\"item_id\":\"" + body.substr(start, body.find('"', start) - start) + "\"}");
        }
    }
    if (downloads.empty()) {
        std::fprintf(stderr, "market_load: the catalogue in %s is empty\n", root.c_str());
        kill(server.pid, SIGTERM);
        waitpid(server.pid, nullptr, 0);
        return 1;
    }

    const long rssBefore = residentKiB(server.pid);
    const Phase catalog = run(server.port, connections, requests, seconds, "/v1/market/catalog", {"{}"});
    const long rssMiddle = residentKiB(server.pid);
    const Phase download = run(server.port, connections, requests, seconds, "/v1/market/download", downloads);
    // A second catalogue round: memory must not grow with the number of requests served.
    const Phase again = run(server.port, connections, requests, seconds, "/v1/market/catalog", {"{}"});
    const long rssAfter = residentKiB(server.pid);

    std::printf("market_load: %zu items, %d connections, up to %zu requests per phase\n", downloads.size(),
                connections, requests);
    report("catalog", catalog, connections, "target >= 5000");
    report("download", download, connections, "no target");
    report("catalog", again, connections, "second round");
    std::printf("server resident memory: %ld KiB before, %ld KiB after the first round, %ld KiB at the end "
                "(target: flat)\n",
                rssBefore, rssMiddle, rssAfter);

    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    return catalog.failed + download.failed + again.failed == 0 ? 0 : 1;
}
