#include "search/SearchConfigReader.h"

#include "platform/FileUtils.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace volumira {

namespace {

constexpr std::size_t kBlockSize = 4096;

// The whole value as a decimal int; nullopt for anything else, so that "12abc" is not read as 12.
std::optional<int> decimal(const char* text) {
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [last, error] = std::from_chars(text, end, value);
    if (error != std::errc() || last != end) return std::nullopt;
    return value;
}

} // namespace

SearchConfigReader::SearchConfigReader(const std::string& path, SearchConfig* config)
    : config_(config), parser_(this) {
    if (!config) throw std::invalid_argument("Unexpected NULL pointer.");
    if (path.empty()) throw std::invalid_argument("Search configuration file path not specified.");
    UniqueFile file = openFile(path, "r");
    if (!file) throw std::runtime_error("Search configuration file could not be opened.");

    char block[kBlockSize];
    for (;;) {
        const std::size_t length = std::fread(block, 1, kBlockSize, file.get());
        // A directory opens but cannot be read; neither can a file on a failing disk.
        if (std::ferror(file.get())) throw std::runtime_error("Search configuration file could not be read.");
        const bool last = length < kBlockSize;
        if (!parser_.parse(block, length, last))
            throw std::runtime_error("Error parsing search configuration file.");
        if (last) break;
    }
    if (config->anatomicDomainCount() == 0 || config->similarDomainCount() == 0)
        throw std::runtime_error("Search configuration file is not in the expected format.");
}

void SearchConfigReader::startElement(const char* name, const char** attributes) {
    const auto each = [attributes](auto visit) {
        for (const char** a = attributes; a && a[0] && a[1]; a += 2)
            visit(a[0], a[1]);
    };
    if (std::strcmp(name, "SearchDomains") == 0) {
        each([this](const char* key, const char* value) {
            if (std::strcmp(key, "version") != 0) return;
            if (const auto version = decimal(value)) config_->setVersion(*version);
        });
    } else if (std::strcmp(name, "AnatomicSearch") == 0) {
        inAnatomic_ = true;
        inSimilar_ = false;
    } else if (std::strcmp(name, "Corrana") == 0) {
        inAnatomic_ = false;
        inSimilar_ = true;
        bool coronal = false, sagittal = false;
        each([&coronal, &sagittal](const char* key, const char* value) {
            if (std::strcmp(key, "coronal") == 0) coronal = std::strcmp(value, "true") == 0;
            if (std::strcmp(key, "sagittal") == 0) sagittal = std::strcmp(value, "true") == 0;
        });
        config_->setCoronal(coronal);
        config_->setSagittal(sagittal);
    } else if (std::strcmp(name, "Domain") == 0 && (inAnatomic_ || inSimilar_)) {
        std::optional<int> id;
        int indent = 0;
        each([&id, &indent](const char* key, const char* value) {
            if (std::strcmp(key, "id") == 0) id = decimal(value);
            if (std::strcmp(key, "indent") == 0) indent = decimal(value).value_or(0);
        });
        if (!id || *id < 0) return;
        if (inAnatomic_)
            config_->addAnatomicDomain(*id, indent);
        else
            config_->addSimilarDomain(*id, indent);
    }
}

} // namespace volumira
