#include "OEUnitDictCollection.h"

const TDictionaryItem* TDictionary::Find(std::string_view key) const {
    for (const TDictionaryItem& item : items_) {
        if (item.Key == key) {
            return &item;
        }
    }
    return nullptr;
}

bool TDictionary::Contains(std::string_view key) const {
    const TDictionaryItem* item = Find(key);
    return item != nullptr && item->State != 2;
}

ScalarValue TDictionary::Fetch(std::string_view key) const {
    const TDictionaryItem* item = Find(key);
    if (item == nullptr || item->State == 2) {
        return ScalarValue(false);
    }
    return item->Value;
}

void TDictionary::Store(std::string_view key, const ScalarValue& value) {
    if (const TDictionaryItem* found = Find(key)) {
        if (found->State == 1) {
            items_[static_cast<std::size_t>(found - items_.data())].Value = value;
        }
        return;
    }
    items_.push_back(TDictionaryItem{std::string(key), value, 1});
}

void TDictionary::ClearAll() {
    items_.clear();
}
