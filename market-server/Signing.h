#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// Keys, signatures and the signed package format of the ring market. The
// signing key never leaves the machine that signs; the server only reads the
// signed files that `sign` writes.
namespace market {

using Json = nlohmann::ordered_json;

// libsodium must be initialised once before any other call here.
bool initCrypto();

// URL-safe Base64 without padding: how packages and signatures travel.
std::string base64UrlEncode(const std::string& bytes);
// Standard Base64 with padding: how the key files hold their keys.
std::string base64Encode(const std::string& bytes);
std::optional<std::string> base64Decode(const std::string& text);

struct KeyPair
{
    std::string publicKey; // 32 bytes
    std::string secretKey; // 64 bytes (seed + public key, libsodium's form)
};

KeyPair generateKeyPair();

// Writes <dir>/signing.key (owner-only) and <dir>/verify.key, each one line of
// standard Base64. Refuses to overwrite an existing signing key.
bool writeKeyPair(const std::string& dir, const KeyPair& keys, std::string* error);
// Reads a key file of `expectedBytes` bytes.
std::optional<std::string> readKeyFile(const std::string& path, size_t expectedBytes, std::string* error);

std::string signDetached(const std::string& message, const std::string& secretKey);
bool verifyDetached(const std::string& message, const std::string& signature, const std::string& publicKey);

// Checks one catalogue entry: "id", "app_name", "bundle_id", "version" and
// "summary" are strings, "author" is a string, null or absent. Ids are limited to
// letters, digits, '.', '_' and '-' so that they can name files.
bool validItem(const Json& item, std::string* error);

// The signed document the server serves for one item:
// {"item": {...}, "package": <Base64url of the package bytes>, "sig": <Base64url>}
// where the package bytes are {"item_id", "version", "profile": ring}.
Json makeSignedPackage(const Json& item, const Json& ring, const std::string& secretKey);

std::optional<std::string> readFile(const std::string& path, size_t limit, std::string* error);
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

} // namespace market
