#include "platform/EngineBinding.h"

#include <cstring>

#include "errors/Error.h"
#include "errors/Outcome.h"
#include "platform/Text.h"

namespace pw::binding {

EngineLibrary::EngineLibrary(std::string fileName) : loader_(std::make_unique<LibraryLoader>(std::move(fileName))) {}

void* EngineLibrary::symbol(const char* entryPoint, const std::string& source, bool required) {
    std::lock_guard<std::mutex> guard(lock_);
    if (required) return loader_->symbol(entryPoint, source);
    try {
        return loader_->symbol(entryPoint, source);
    } catch (const Error& e) {
        if (e.number() != kEntryPointNotFound) throw;
        return nullptr;
    }
}

void EngineLibrary::use(std::string fileName) {
    std::lock_guard<std::mutex> guard(lock_);
    loader_ = std::make_unique<LibraryLoader>(std::move(fileName));
}

std::optional<std::string> engineText(const char* text, std::uint32_t size) {
    if (!text || size <= 1 || size >= 32000) return std::nullopt;
    return cutAtNul(std::string_view(text, size));
}

void copyPassword(std::string_view password, char* buffer, std::int32_t size) {
    std::size_t room = 254;
    if (size > 0 && static_cast<std::size_t>(size) - 1 < room) room = static_cast<std::size_t>(size) - 1;
    const std::string_view cut = utf8PrefixBytes(password, room);
    std::memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = '\0';
}

OutcomeSink collectInto(OutcomeList* list) {
    if (!list) return {};
    list->clear();
    return {list, &pwCollectOutcome};
}

}  // namespace pw::binding
