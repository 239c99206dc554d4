#include "QxJSONNodes.h"

#include "Errors.h"
#include "TextConvert.h"

#include <cfloat>
#include <charconv>
#include <cmath>

namespace {

// A long double narrowed to double without leaving the double range: beyond it lies infinity.
double ToDouble(long double value) {
    if (value > static_cast<long double>(DBL_MAX)) {
        return HUGE_VAL;
    }
    if (value < -static_cast<long double>(DBL_MAX)) {
        return -HUGE_VAL;
    }
    return static_cast<double>(value);
}

std::string LongDoubleText(long double value) {
    char buffer[128];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A number key as a position: truncated toward zero, or -1 (never a valid position) when it
// is not a number in the 32-bit range.
std::int32_t KeyPosition(double key) {
    if (!(key > -2147483649.0 && key < 2147483648.0)) {
        return -1;
    }
    return static_cast<std::int32_t>(key);
}

template <class Node> const Node& Expect(const TqxJSONbase& node) {
    const Node* typed = dynamic_cast<const Node*>(&node);
    if (typed == nullptr) {
        throw InvalidCastError();
    }
    return *typed;
}

} // namespace

// --- TqxJSONbase ------------------------------------------------------------------------------

ScalarValue TqxJSONbase::ReadValue() const {
    return {};
}

void TqxJSONbase::WriteValue(const ScalarValue&) {}

TqxJSONbase* TqxJSONbase::ItemAt(std::int32_t) const {
    return nullptr;
}

void TqxJSONbase::ReplaceItemAt(std::int32_t, std::unique_ptr<TqxJSONbase>) {}

std::int32_t TqxJSONbase::ItemCount() const {
    return 0;
}

TqxJSONbase* TqxJSONbase::Lookup(const ScalarValue&) {
    return this;
}

int TqxJSONbase::Kind() const {
    return jsBase;
}

std::string TqxJSONbase::KindName() const {
    return "jsBase";
}

// --- TqxJSONnumber ----------------------------------------------------------------------------

ScalarValue TqxJSONnumber::ReadValue() const {
    return ScalarValue(ToDouble(value_));
}

void TqxJSONnumber::WriteValue(const ScalarValue& value) {
    value_ = value.ToNumber();
}

// --- TqxJSONcustomlist ------------------------------------------------------------------------

TqxJSONcustomlist::~TqxJSONcustomlist() {
    while (!items_.empty()) {
        items_.pop_back();
    }
}

TqxJSONbase* TqxJSONcustomlist::ItemAt(std::int32_t position) const {
    return InRange(position) ? items_[static_cast<std::size_t>(position)].get() : nullptr;
}

void TqxJSONcustomlist::ReplaceItemAt(std::int32_t position, std::unique_ptr<TqxJSONbase> node) {
    // A hole in the list would answer none where a child is counted; a missing node replaces
    // nothing.
    if (!InRange(position) || !node) {
        return;
    }
    items_[static_cast<std::size_t>(position)] = std::move(node);
    ItemsChanged();
}

std::int32_t TqxJSONcustomlist::ItemCount() const {
    return static_cast<std::int32_t>(items_.size());
}

std::int32_t TqxJSONcustomlist::AppendItem(std::unique_ptr<TqxJSONbase> node) {
    if (!node) {
        return -1;
    }
    if (items_.capacity() == 0) {
        items_.reserve(4); // skips the first reallocations of typical small containers
    }
    items_.push_back(std::move(node));
    return static_cast<std::int32_t>(items_.size() - 1);
}

void TqxJSONcustomlist::DeleteItemAt(std::int32_t position) {
    if (!InRange(position)) {
        return;
    }
    const auto index = static_cast<std::size_t>(position);
    if (index + 1 != items_.size()) {
        items_[index] = std::move(items_.back());
    }
    items_.pop_back();
    ItemsChanged();
}

std::int32_t TqxJSONcustomlist::IndexOfItem(const TqxJSONbase* node) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == node) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::int32_t TqxJSONcustomlist::IntAt(std::int32_t position) {
    const TqxJSONbase* child = TypedReadTarget(position);
    if (child == nullptr) {
        return 0;
    }
    const long double value = Expect<TqxJSONnumber>(*child).Value();
    // Truncation toward zero is only defined for values that land inside the range.
    if (!(value > -2147483649.0L && value < 2147483648.0L)) {
        throw ConvertError("'" + LongDoubleText(value) + "' is not a valid integer value");
    }
    return static_cast<std::int32_t>(value);
}

std::string TqxJSONcustomlist::TextAt(std::int32_t position) {
    return WideToNarrow(WideTextAt(position));
}

std::u16string TqxJSONcustomlist::WideTextAt(std::int32_t position) {
    const TqxJSONbase* child = TypedReadTarget(position);
    if (child == nullptr) {
        return {};
    }
    return Expect<TqxJSONstring>(*child).Value();
}

double TqxJSONcustomlist::DoubleAt(std::int32_t position) {
    const TqxJSONbase* child = TypedReadTarget(position);
    if (child == nullptr) {
        return 0.0;
    }
    return ToDouble(Expect<TqxJSONnumber>(*child).Value());
}

bool TqxJSONcustomlist::BooleanAt(std::int32_t position) {
    const TqxJSONbase* child = TypedReadTarget(position);
    if (child == nullptr) {
        return false;
    }
    return Expect<TqxJSONboolean>(*child).Value();
}

// --- TqxJSONlist ------------------------------------------------------------------------------

TqxJSONbase* TqxJSONlist::Lookup(const ScalarValue& key) {
    if (key.IsNumber()) {
        return ItemAt(KeyPosition(key.Number()));
    }
    return this;
}

TqxJSONbase* TqxJSONlist::EntryAt(std::int32_t position, std::string& name) {
    name = std::to_string(position);
    return ItemAt(position);
}

// --- TqxJSONobject ----------------------------------------------------------------------------

TqxJSONobject::TqxJSONobject(bool indexed) : indexed_(indexed) {}

void TqxJSONobject::ReplaceItemAt(std::int32_t position, std::unique_ptr<TqxJSONbase> node) {
    if (node && dynamic_cast<TqxJSONobjectmethod*>(node.get()) == nullptr) {
        throw InvalidCastError();
    }
    TqxJSONcustomlist::ReplaceItemAt(position, std::move(node));
}

TqxJSONbase* TqxJSONobject::Lookup(const ScalarValue& key) {
    if (key.IsText()) {
        return MemberByName(key.Text());
    }
    if (key.IsNumber()) {
        return ItemAt(KeyPosition(key.Number()));
    }
    return this;
}

TqxJSONbase* TqxJSONobject::EntryAt(std::int32_t position, std::string& name) {
    name = WideToNarrow(MemberNameAt(position));
    return ValueAtPosition(position);
}

std::int32_t TqxJSONobject::AppendItem(std::unique_ptr<TqxJSONbase> node) {
    if (!node) {
        return -1;
    }
    if (dynamic_cast<TqxJSONobjectmethod*>(node.get()) == nullptr) {
        throw InvalidCastError();
    }
    return AppendMember(
        std::unique_ptr<TqxJSONobjectmethod>(static_cast<TqxJSONobjectmethod*>(node.release())));
}

std::int32_t TqxJSONobject::AppendMember(std::unique_ptr<TqxJSONobjectmethod> member) {
    if (!member) {
        return -1;
    }
    const std::u16string& name = member->Name();
    const std::int32_t position = TqxJSONcustomlist::AppendItem(std::move(member));
    if (indexed_) {
        names_.InsertName(name, position);
    }
    return position;
}

void TqxJSONobject::ReserveMembers(std::size_t count) {
    ReserveItems(count);
    if (indexed_ && count > 0) {
        names_.Reserve(count);
    }
}

std::int32_t TqxJSONobject::PositionOfName(std::u16string_view name) const {
    if (indexed_) {
        return names_.FindName(name);
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (MemberAt(static_cast<std::int32_t>(i)).Name() == name) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

TqxJSONbase* TqxJSONobject::MemberByName(std::u16string_view name) const {
    const std::int32_t position = PositionOfName(name);
    return InRange(position) ? MemberAt(position).Value() : nullptr;
}

std::u16string TqxJSONobject::MemberNameAt(std::int32_t position) const {
    return InRange(position) ? MemberAt(position).Name() : std::u16string();
}

TqxJSONbase* TqxJSONobject::ValueAtPosition(std::int32_t position) const {
    if (!InRange(position)) {
        return nullptr;
    }
    const std::u16string& name = MemberAt(position).Name();
    return name.empty() ? nullptr : MemberByName(name);
}

void TqxJSONobject::ItemsChanged() {
    // Members moved or changed names: rebuild the index so it keeps answering the first member
    // of each name.
    if (!indexed_) {
        return;
    }
    names_.RemoveAllNames();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        names_.InsertName(MemberAt(static_cast<std::int32_t>(i)).Name(),
                          static_cast<std::int32_t>(i));
    }
}
