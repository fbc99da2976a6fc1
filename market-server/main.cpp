// rondix-market: the ring market's signing tool and server.
//   keygen   make a key pair (the signing key stays with whoever signs)
//   sign     turn a ring file and its catalogue entry into a signed package
//   serve    answer the market protocol from a folder of signed packages
#include "Catalog.h"
#include "MarketServer.h"
#include "Signing.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <random>
#include <sodium.h>
#include <string>
#include <thread>
#include <vector>

using market::Json;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: rondix-market <command> [options]\n"
    "\n"
    "Commands:\n"
    "  keygen [--out DIR]\n"
    "      write a new key pair: DIR/signing.key (keep it secret, owner-only) and\n"
    "      DIR/verify.key (the public key Rondix is built with)\n"
    "  sign --key SIGNING_KEY --ring RING_FILE --item ITEM_FILE [--out DIR]\n"
    "      sign one ring for the catalogue; writes DIR/<item id>.json. ITEM_FILE holds\n"
    "      the catalogue entry: id, app_name, bundle_id, version, summary, author\n"
    "  serve --root DIR [--listen HOST:PORT] [--threads N] [--read-timeout SECONDS] [--quiet]\n"
    "      serve the signed packages in DIR (default listen 127.0.0.1:8742; port 0\n"
    "      picks a free one). Each request must arrive within the read timeout\n"
    "      (default 5 s). SIGHUP reloads DIR; SIGTERM and SIGINT stop.\n"
    "  embed-key (--verify-key FILE | --public-key BASE64) --out FILE\n"
    "      write the verifying key as C++ source for the Rondix build\n"
    "\n"
    "  -h, --help  show this help\n";

int usage(const std::string& message)
{
    std::cerr << "rondix-market: " << message << "\nTry 'rondix-market --help'.\n";
    return kExitUsage;
}

int fail(const std::string& message)
{
    std::cerr << "rondix-market: " << message << "\n";
    return kExitFailed;
}

// "--name value" options; every option takes a value except the listed flags.
bool parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& names,
                  const std::vector<std::string>& flags, std::vector<std::pair<std::string, std::string>>* out,
                  std::string* error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            out->emplace_back(arg, "");
            continue;
        }
        if (std::find(names.begin(), names.end(), arg) == names.end()) {
            *error = "unknown argument '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            *error = "option '" + arg + "' needs a value";
            return false;
        }
        out->emplace_back(arg, args[++i]);
    }
    return true;
}

std::string option(const std::vector<std::pair<std::string, std::string>>& options, const std::string& name,
                   const std::string& absent = {})
{
    for (const auto& [key, value] : options)
        if (key == name)
            return value;
    return absent;
}

bool hasFlag(const std::vector<std::pair<std::string, std::string>>& options, const std::string& name)
{
    for (const auto& entry : options)
        if (entry.first == name)
            return true;
    return false;
}

int keygen(const std::vector<std::string>& args)
{
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    if (!parseOptions(args, {"--out"}, {}, &options, &error))
        return usage(error);
    const std::string dir = option(options, "--out", ".");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const market::KeyPair keys = market::generateKeyPair();
    if (!market::writeKeyPair(dir, keys, &error))
        return fail(error);
    std::cout << "Wrote " << dir << "/signing.key (secret) and " << dir << "/verify.key\n"
              << "Public key: " << market::base64Encode(keys.publicKey) << "\n";
    return kExitOk;
}

int sign(const std::vector<std::string>& args)
{
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    if (!parseOptions(args, {"--key", "--ring", "--item", "--out"}, {}, &options, &error))
        return usage(error);
    for (const char* required : {"--key", "--ring", "--item"})
        if (option(options, required).empty())
            return usage(std::string("sign needs ") + required);

    const auto secretKey = market::readKeyFile(option(options, "--key"), crypto_sign_SECRETKEYBYTES, &error);
    if (!secretKey)
        return fail(error);
    const auto ringBytes = market::readFile(option(options, "--ring"), market::kMaxPackageFileBytes / 2, &error);
    const auto itemBytes = ringBytes ? market::readFile(option(options, "--item"), 64 * 1024, &error) : std::nullopt;
    if (!ringBytes || !itemBytes)
        return fail(error);
    const Json ring = Json::parse(*ringBytes, nullptr, false);
    if (ring.is_discarded() || !ring.is_object() || !ring.contains("slots"))
        return fail(option(options, "--ring") + ": not a ring (a JSON object with \"slots\")");
    const Json item = Json::parse(*itemBytes, nullptr, false);
    if (item.is_discarded() || !market::validItem(item, &error))
        return fail(option(options, "--item") + ": " + (error.empty() ? "not valid JSON" : error));

    const Json signedPackage = market::makeSignedPackage(item, ring, *secretKey);
    const std::string dir = option(options, "--out", ".");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = dir + "/" + item["id"].get<std::string>() + ".json";
    if (!market::writeFileAtomically(path, signedPackage.dump(2) + "\n", &error))
        return fail(error);
    std::cout << "Signed " << item["id"].get<std::string>() << " into " << path << "\n";
    return kExitOk;
}

int embedKey(const std::vector<std::string>& args)
{
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    if (!parseOptions(args, {"--verify-key", "--public-key", "--out"}, {}, &options, &error))
        return usage(error);
    std::optional<std::string> key;
    if (!option(options, "--verify-key").empty())
        key = market::readKeyFile(option(options, "--verify-key"), crypto_sign_PUBLICKEYBYTES, &error);
    else if (!option(options, "--public-key").empty()) {
        key = market::base64Decode(option(options, "--public-key"));
        if (!key || key->size() != crypto_sign_PUBLICKEYBYTES) {
            key.reset();
            error = "--public-key: not a 32-byte key in Base64";
        }
    } else
        return usage("embed-key needs --verify-key or --public-key");
    if (option(options, "--out").empty())
        return usage("embed-key needs --out");
    if (!key)
        return fail(error);

    // Two tables whose XOR is the key: the key's bytes never stand in the binary as one run.
    unsigned char mask[crypto_sign_PUBLICKEYBYTES];
    randombytes_buf(mask, sizeof mask);
    std::string first, second;
    for (size_t i = 0; i < sizeof mask; ++i) {
        char a[8], b[8];
        std::snprintf(a, sizeof a, "0x%02x,", mask[i]);
        std::snprintf(b, sizeof b, "0x%02x,", mask[i] ^ static_cast<unsigned char>((*key)[i]));
        first += a;
        second += b;
    }
    const std::string source = "// Generated by rondix-market embed-key. Do not edit.\n"
                               "#include \"market/MarketKey.h\"\n"
                               "const unsigned char MarketKey::kFirst[32] = {" +
                               first + "};\nconst unsigned char MarketKey::kSecond[32] = {" + second + "};\n";
    if (!market::writeFileAtomically(option(options, "--out"), source, &error))
        return fail(error);
    return kExitOk;
}

int serve(const std::vector<std::string>& args)
{
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    if (!parseOptions(args, {"--root", "--listen", "--threads", "--read-timeout"}, {"--quiet"}, &options, &error))
        return usage(error);
    market::ServerOptions serverOptions;
    serverOptions.root = option(options, "--root");
    if (serverOptions.root.empty())
        return usage("serve needs --root DIR");
    const std::string listen = option(options, "--listen", "127.0.0.1:8742");
    const size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return usage("--listen takes HOST:PORT");
    serverOptions.host = listen.substr(0, colon);
    if (serverOptions.host.size() > 2 && serverOptions.host.front() == '[' && serverOptions.host.back() == ']')
        serverOptions.host = serverOptions.host.substr(1, serverOptions.host.size() - 2);
    try {
        size_t used = 0;
        const std::string portText = listen.substr(colon + 1);
        serverOptions.port = std::stoi(portText, &used);
        if (used != portText.size() || serverOptions.port < 0 || serverOptions.port > 65535)
            throw std::out_of_range("port");
        if (hasFlag(options, "--threads")) {
            const std::string threads = option(options, "--threads");
            serverOptions.threads = std::stoi(threads, &used);
            if (used != threads.size() || serverOptions.threads < 1 || serverOptions.threads > 4096)
                throw std::out_of_range("threads");
        }
        if (hasFlag(options, "--read-timeout")) {
            const std::string seconds = option(options, "--read-timeout");
            serverOptions.readTimeoutSeconds = std::stoi(seconds, &used);
            if (used != seconds.size() || serverOptions.readTimeoutSeconds < 1 || serverOptions.readTimeoutSeconds > 300)
                throw std::out_of_range("timeout");
        }
    } catch (const std::exception&) {
        return usage("bad port, thread count or timeout");
    }
    if (hasFlag(options, "--quiet"))
        serverOptions.accessLog = nullptr;

    // Signals go to one thread that waits for them; the serving threads inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    market::MarketServer server(serverOptions);
    if (!server.reload(&error))
        return fail(error);
    for (const std::string& problem : server.catalog()->problems)
        std::cerr << "rondix-market: skipped " << problem << "\n";
    if (!server.bind())
        return fail("cannot listen on " + listen);

    std::thread signalThread([&server, &signals, root = serverOptions.root] {
        for (;;) {
            int sig = 0;
            if (sigwait(&signals, &sig) != 0)
                continue;
            if (sig != SIGHUP) {
                server.stop();
                return;
            }
            std::string reloadError;
            if (!server.reload(&reloadError)) {
                std::cerr << "rondix-market: reload failed, still serving the previous catalogue: " << reloadError
                          << "\n";
                continue;
            }
            const auto catalog = server.catalog();
            for (const std::string& problem : catalog->problems)
                std::cerr << "rondix-market: skipped " << problem << "\n";
            std::cout << "rondix-market: reloaded " << catalog->ids.size() << " items from " << root << std::endl;
        }
    });

    std::cout << "rondix-market: serving " << server.catalog()->ids.size() << " items from " << serverOptions.root
              << " on http://" << serverOptions.host << ":" << server.boundPort() << std::endl;
    server.serve();
    // serve() also ends when the listening socket fails; wake the signal thread then.
    pthread_kill(signalThread.native_handle(), SIGTERM);
    signalThread.join();
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("missing command (keygen, sign, serve or embed-key)");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (!market::initCrypto())
        return fail("libsodium could not be initialised");
    // Access-log lines are written whole, one write each.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (command == "keygen")
        return keygen(args);
    if (command == "sign")
        return sign(args);
    if (command == "serve")
        return serve(args);
    if (command == "embed-key")
        return embedKey(args);
    return usage("unknown command '" + command + "'");
}
