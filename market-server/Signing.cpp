#include "Signing.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace market {

bool initCrypto()
{
    return sodium_init() >= 0;
}

namespace {

std::string toBase64(const std::string& bytes, int variant)
{
    const size_t size = sodium_base64_encoded_len(bytes.size(), variant);
    std::string out(size, '\0');
    sodium_bin2base64(out.data(), size, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      variant);
    out.resize(std::strlen(out.c_str()));
    return out;
}

bool isIdChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

} // namespace

std::string base64UrlEncode(const std::string& bytes)
{
    return toBase64(bytes, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
}

std::string base64Encode(const std::string& bytes)
{
    return toBase64(bytes, sodium_base64_VARIANT_ORIGINAL);
}

std::optional<std::string> base64Decode(const std::string& text)
{
    std::string out(text.size(), '\0');
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(), text.size(),
                          " \t\r\n", &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    out.resize(length);
    return out;
}

KeyPair generateKeyPair()
{
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    KeyPair keys{std::string(reinterpret_cast<char*>(pk), sizeof pk),
                 std::string(reinterpret_cast<char*>(sk), sizeof sk)};
    sodium_memzero(sk, sizeof sk);
    return keys;
}

bool writeKeyPair(const std::string& dir, const KeyPair& keys, std::string* error)
{
    const std::string secretPath = dir + "/signing.key";
    const std::string publicPath = dir + "/verify.key";
    // O_EXCL: an existing key is someone's identity; never replace it silently.
    const int fd = ::open(secretPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = secretPath + ": " + std::strerror(errno);
        return false;
    }
    const std::string secretLine = base64Encode(keys.secretKey) + "\n";
    const bool written = ::write(fd, secretLine.data(), secretLine.size()) == ssize_t(secretLine.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        *error = secretPath + ": cannot write";
        ::unlink(secretPath.c_str());
        return false;
    }
    if (!writeFileAtomically(publicPath, base64Encode(keys.publicKey) + "\n", error)) {
        ::unlink(secretPath.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> readKeyFile(const std::string& path, size_t expectedBytes, std::string* error)
{
    const auto text = readFile(path, 4096, error);
    if (!text)
        return std::nullopt;
    auto key = base64Decode(*text);
    if (!key || key->size() != expectedBytes) {
        *error = path + ": not a key of " + std::to_string(expectedBytes) + " bytes in Base64";
        return std::nullopt;
    }
    return key;
}

std::string signDetached(const std::string& message, const std::string& secretKey)
{
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         reinterpret_cast<const unsigned char*>(secretKey.data()));
    return std::string(reinterpret_cast<char*>(sig), sizeof sig);
}

bool verifyDetached(const std::string& message, const std::string& signature, const std::string& publicKey)
{
    if (signature.size() != crypto_sign_BYTES || publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                                       reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
}

bool validItem(const Json& item, std::string* error)
{
    if (!item.is_object()) {
        *error = "the item is not a JSON object";
        return false;
    }
    for (const char* member : {"id", "app_name", "bundle_id", "version", "summary"}) {
        const auto it = item.find(member);
        if (it == item.end() || !it->is_string()) {
            *error = std::string("item.") + member + ": missing or not a string";
            return false;
        }
    }
    const auto author = item.find("author");
    if (author != item.end() && !author->is_string() && !author->is_null()) {
        *error = "item.author: not a string";
        return false;
    }
    const std::string id = item["id"].get<std::string>();
    if (id.empty() || id.size() > 128 || id.front() == '.') {
        *error = "item.id: empty, too long or starting with '.'";
        return false;
    }
    for (char c : id) {
        if (!isIdChar(c)) {
            *error = "item.id: only letters, digits, '.', '_' and '-' are allowed";
            return false;
        }
    }
    return true;
}

Json makeSignedPackage(const Json& item, const Json& ring, const std::string& secretKey)
{
    Json package = Json::object();
    package["item_id"] = item["id"];
    package["version"] = item["version"];
    package["profile"] = ring;
    const std::string bytes = package.dump();
    Json signedPackage = Json::object();
    signedPackage["item"] = item;
    signedPackage["package"] = base64UrlEncode(bytes);
    signedPackage["sig"] = base64UrlEncode(signDetached(bytes, secretKey));
    return signedPackage;
}

std::optional<std::string> readFile(const std::string& path, size_t limit, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, size_t(in.gcount()));
        if (bytes.size() > limit) {
            *error = path + ": larger than " + std::to_string(limit) + " bytes";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        *error = path + ": read error";
        return std::nullopt;
    }
    return bytes;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error)
{
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        *error = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0 &&
                    ::fsync(fileno(f)) == 0;
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace market
