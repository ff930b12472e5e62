#pragma once
// The texts every visible message is taken from, by number. The loader builds a complete
// set (the chosen language over English) and installs it whole, so readers on any thread
// see either the old set or the new one, never a half-written table.

#include <array>
#include <memory>
#include <mutex>

#include "platform/text.h"

namespace qf {

struct StringTableSet {
    static constexpr int kEntries = 1024;
    static constexpr int kLanguageNames = 64;
    std::array<Text, kEntries> program;
    std::array<Text, kEntries> general;
    std::array<Text, kLanguageNames> languageNames;
};

class TextCatalog {
  public:
    TextCatalog() : tables_(std::make_shared<StringTableSet>()) {}

    // Any thread. Ids outside the table give an empty text.
    Text Program(int id) const { return Entry(&StringTableSet::program, id); }
    Text General(int id) const { return Entry(&StringTableSet::general, id); }
    Text LanguageName(int id) const { return Entry(&StringTableSet::languageNames, id); }

    std::shared_ptr<const StringTableSet> Snapshot() const {
        std::lock_guard lock(mutex_);
        return tables_;
    }
    void Install(std::shared_ptr<const StringTableSet> tables) {
        std::lock_guard lock(mutex_);
        tables_ = std::move(tables);
    }

  private:
    template <size_t N>
    Text Entry(std::array<Text, N> StringTableSet::*table, int id) const {
        if (id < 0 || id >= static_cast<int>(N)) return {};
        return ((*Snapshot()).*table)[static_cast<size_t>(id)];
    }

    mutable std::mutex mutex_;
    std::shared_ptr<const StringTableSet> tables_;
};

}  // namespace qf
