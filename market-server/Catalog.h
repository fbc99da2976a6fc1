#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace market {

// The served content of one folder, read once and answered from memory: the
// catalogue body and one download body per item, ready to send.
struct Catalog
{
    std::string catalogBody; // {"items": [...]}
    std::unordered_map<std::string, std::string> downloadBodies; // id -> {"package", "sig"}
    std::vector<std::string> ids; // in catalogue order
    std::vector<std::string> problems; // files that were left out, with the reason
};

// Reads every "*.json" that `rondix-market sign` wrote into `root`, in file-name
// order. A file that cannot be used is left out and named in `problems`; a root
// that cannot be listed gives null with *error set.
std::shared_ptr<const Catalog> loadCatalog(const std::string& root, std::string* error);

// The largest signed file the server accepts, and the client's limit on a reply.
constexpr size_t kMaxPackageFileBytes = 4 * 1024 * 1024;

} // namespace market
