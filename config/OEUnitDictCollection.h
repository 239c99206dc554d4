#pragma once
// A small ordered dictionary from narrow text to a scalar, searched first to last with exact,
// case-sensitive key comparison. The configuration keeps its lookup cache in one.

#include "ScalarValue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TDictionaryItem {
    std::string Key;
    ScalarValue Value;
    // 1 for a live entry (the only state Store creates); 2 marks an entry as removed.
    std::uint8_t State = 1;
};

using TDictionaryItems = std::vector<TDictionaryItem>;

class TDictionary {
public:
    bool Contains(std::string_view key) const;
    // The stored value, or the boolean false when the key is not contained.
    ScalarValue Fetch(std::string_view key) const;
    // Replaces the value of a live entry, or appends a new live one when the key is absent.
    void Store(std::string_view key, const ScalarValue& value);
    void ClearAll();

    std::size_t Count() const { return items_.size(); }
    const TDictionaryItems& Items() const { return items_; }
    // Lets a caller mark an entry's state; Contains ignores entries in state 2.
    void SetState(std::size_t index, std::uint8_t state) { items_.at(index).State = state; }

private:
    const TDictionaryItem* Find(std::string_view key) const;

    TDictionaryItems items_;
};
