#include "OEUnitConfig.h"

#include "Errors.h"
#include "QxJSONParser.h"
#include "TextConvert.h"

#include <vector>

namespace {

// A segment of decimal digits only selects by position. Too large a number selects nothing,
// as an index past the end does, rather than falling back to a name.
bool SegmentPosition(const std::string& segment, std::int32_t& position) {
    if (segment.empty()) {
        return false;
    }
    std::int64_t value = 0;
    for (char c : segment) {
        if (c < '0' || c > '9') {
            return false;
        }
        if (value <= INT32_MAX) {
            value = value * 10 + (c - '0');
        }
    }
    position = value <= INT32_MAX ? static_cast<std::int32_t>(value) : -1;
    return true;
}

} // namespace

bool TOEConfiger::LoadStream(const TMemoryStream& stream) {
    std::string text = stream.Text();
    {
        std::lock_guard lock(mutex_);
        rawText_ = text;
    }
    if (text.empty()) {
        return false;
    }
    return LoadText(text);
}

bool TOEConfiger::LoadText(std::string_view text) {
    std::unique_ptr<TqxJSONbase> root = TqxJSON::ParseDocument(text);
    std::lock_guard lock(mutex_);
    document_.reset();
    cache_.ClearAll();
    if (!root) {
        return false;
    }
    auto* object = dynamic_cast<TqxJSONobject*>(root.get());
    if (object == nullptr) {
        throw InvalidCastError();
    }
    root.release();
    document_.reset(object);
    return true;
}

std::string TOEConfiger::ReadText(std::string_view path, char separator) {
    std::lock_guard lock(mutex_);
    return ReadTextLocked(path, separator, false);
}

std::string TOEConfiger::ReadTextIndexed(std::string_view path, char separator) {
    std::lock_guard lock(mutex_);
    return ReadTextLocked(path, separator, true);
}

std::int32_t TOEConfiger::ReadCount(std::string_view path, char separator) {
    std::lock_guard lock(mutex_);
    return ReadCountLocked(path, separator, false);
}

std::int32_t TOEConfiger::ReadCountIndexed(std::string_view path, char separator) {
    std::lock_guard lock(mutex_);
    return ReadCountLocked(path, separator, true);
}

std::string TOEConfiger::RawText() const {
    std::lock_guard lock(mutex_);
    return rawText_;
}

bool TOEConfiger::HasDocument() const {
    std::lock_guard lock(mutex_);
    return document_ != nullptr;
}

std::string TOEConfiger::ReadTextLocked(std::string_view path, char separator, bool indexed) {
    // The cache is keyed by the path text alone, so a text stored by one kind of lookup is
    // also the answer of the other kind for the same path.
    if (cache_.Contains(path)) {
        return cache_.Fetch(path).ToNarrowText();
    }
    if (!document_) {
        return {};
    }
    const TqxJSONbase* node = Walk(path, separator, indexed);
    if (node == nullptr) {
        return {};
    }
    const ScalarValue value = node->ReadValue();
    std::string result = value.ToNarrowText();
    // Dead ends and empty values are not remembered: they are walked again on every call.
    if (!result.empty()) {
        cache_.Store(path, ScalarValue(NarrowToWide(result)));
    }
    return result;
}

std::int32_t TOEConfiger::ReadCountLocked(std::string_view path, char separator, bool indexed) {
    if (!document_) {
        return 0;
    }
    const TqxJSONbase* node = Walk(path, separator, indexed);
    return node != nullptr ? node->ItemCount() : 0;
}

TqxJSONbase* TOEConfiger::Walk(std::string_view path, char separator, bool indexed) const {
    std::vector<std::string> segments;
    SplitText(path, separator, segments);
    if (segments.size() < 2) {
        return nullptr;
    }
    std::int32_t position = 0;
    // An indexed first step selects the root's member node itself, not its value.
    TqxJSONbase* node = (indexed && SegmentPosition(segments[0], position))
                            ? document_->ItemAt(position)
                            : document_->MemberByName(NarrowToWide(segments[0]));
    for (std::size_t i = 1; i < segments.size() && node != nullptr; ++i) {
        if (indexed && SegmentPosition(segments[i], position)) {
            node = node->ItemAt(position);
        } else {
            node = node->Lookup(ScalarValue(NarrowToWide(segments[i])));
        }
    }
    return node;
}

TOEConfiger& ConfigerInstance() {
    static TOEConfiger instance;
    return instance;
}
