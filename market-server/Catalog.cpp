#include "Catalog.h"

#include "Signing.h"

#include <algorithm>
#include <filesystem>

namespace market {

std::shared_ptr<const Catalog> loadCatalog(const std::string& root, std::string* error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.extension() == ".json" && it->is_regular_file(ec))
            files.push_back(path);
    }
    if (ec) {
        *error = root + ": " + ec.message();
        return nullptr;
    }
    std::sort(files.begin(), files.end());

    auto catalog = std::make_shared<Catalog>();
    Json items = Json::array();
    for (const fs::path& path : files) {
        std::string problem;
        const auto bytes = readFile(path.string(), kMaxPackageFileBytes, &problem);
        if (!bytes) {
            catalog->problems.push_back(problem);
            continue;
        }
        const Json doc = Json::parse(*bytes, nullptr, false);
        if (doc.is_discarded() || !doc.is_object()) {
            catalog->problems.push_back(path.string() + ": not a JSON object");
            continue;
        }
        const auto item = doc.find("item");
        if (item == doc.end() || !validItem(*item, &problem)) {
            catalog->problems.push_back(path.string() + ": " + (problem.empty() ? "no item" : problem));
            continue;
        }
        const auto package = doc.find("package");
        const auto sig = doc.find("sig");
        if (package == doc.end() || !package->is_string() || sig == doc.end() || !sig->is_string()) {
            catalog->problems.push_back(path.string() + ": \"package\" and \"sig\" must be strings");
            continue;
        }
        const std::string id = (*item)["id"].get<std::string>();
        if (catalog->downloadBodies.count(id)) {
            catalog->problems.push_back(path.string() + ": item id " + id + " is already served");
            continue;
        }
        Json download = Json::object();
        download["package"] = *package;
        download["sig"] = *sig;
        catalog->downloadBodies.emplace(id, download.dump());
        catalog->ids.push_back(id);
        items.push_back(*item);
    }
    Json body = Json::object();
    body["items"] = std::move(items);
    catalog->catalogBody = body.dump();
    return catalog;
}

} // namespace market
