#include "storage/MemoryGeneExpressionCache.h"

#include "io/MemoryStream.h"
#include "storage/MemoryCacheSupport.h"

#include <cstring>

namespace volumira {

void MemoryGeneExpressionCache::store(std::int32_t id, std::int32_t /*level*/, std::int32_t type,
                                      const void* data, std::size_t length) {
    std::vector<std::uint8_t> bytes = copyCacheBytes(data, length);
    Entry& entry = entries_[id];
    total_ -= entry.bytes.size();
    total_ += length;
    entry.bytes = std::move(bytes);
    entry.type = type;
    entry.lastAccess = ++accessCounter_;
    clean();
}

bool MemoryGeneExpressionCache::retrieve(std::int32_t id, std::int32_t /*level*/, std::int32_t type,
                                         MemoryStream& out) {
    const auto entry = entries_.find(id);
    if (entry == entries_.end() || entry->second.type != type) return false;
    const std::vector<std::uint8_t>& bytes = entry->second.bytes;
    out.resize(bytes.size());
    if (!bytes.empty()) std::memcpy(out.data(), bytes.data(), bytes.size());
    out.seek(0);
    entry->second.lastAccess = ++accessCounter_;
    return true;
}

void MemoryGeneExpressionCache::remove(std::int32_t id, std::int32_t /*level*/, std::int32_t type) {
    const auto entry = entries_.find(id);
    if (entry == entries_.end() || entry->second.type != type) return;
    total_ -= entry->second.bytes.size();
    entries_.erase(entry);
}

void MemoryGeneExpressionCache::clean() {
    evictLeastRecent(entries_, total_, [](const Entry& entry) { return std::uint64_t{entry.bytes.size()}; });
}

bool MemoryGeneExpressionCache::contains(std::int32_t id, std::int32_t type) const {
    const auto entry = entries_.find(id);
    return entry != entries_.end() && entry->second.type == type;
}

} // namespace volumira
