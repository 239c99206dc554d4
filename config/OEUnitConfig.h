#pragma once
// The process-wide configuration: the parsed configuration document and the lookups by path
// ("form1#frame2#RES#TEXT_MSGBOX_00#text") that every caption, message and page item comes
// from. Lookups never fail: a path that leads nowhere gives the empty text or the count 0.
//
// Lookups come from the window's thread and from the scan worker, so the document and the cache
// are guarded by one mutex; every operation is safe to call from any thread.

#include "MemoryStream.h"
#include "OEUnitDictCollection.h"
#include "QxJSONNodes.h"
#include "SplitText.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class TOEConfiger {
public:
    TOEConfiger() = default;
    TOEConfiger(const TOEConfiger&) = delete;
    TOEConfiger& operator=(const TOEConfiger&) = delete;

    // Takes the stream's whole content, whatever its position, as the raw text. An empty
    // stream gives false and leaves the document as it was; otherwise LoadText decides.
    bool LoadStream(const TMemoryStream& stream);

    // Replaces the document with the one parsed from text and empties the cache. False when
    // the text is rejected (there is then no document). A root that is not an object raises
    // InvalidCastError, again leaving no document.
    bool LoadText(std::string_view text);

    // The text at the end of the path; name steps only.
    std::string ReadText(std::string_view path, char separator);
    // As ReadText, but a segment that is a non-negative decimal number selects by position.
    std::string ReadTextIndexed(std::string_view path, char separator);
    // The number of members or items at the end of the path; 0 for a scalar or a dead end.
    std::int32_t ReadCount(std::string_view path, char separator);
    std::int32_t ReadCountIndexed(std::string_view path, char separator);

    std::string RawText() const;
    bool HasDocument() const;

private:
    std::string ReadTextLocked(std::string_view path, char separator, bool indexed);
    std::int32_t ReadCountLocked(std::string_view path, char separator, bool indexed);
    // The node the path leads to, or none. Paths of one segment never lead anywhere.
    TqxJSONbase* Walk(std::string_view path, char separator, bool indexed) const;

    mutable std::mutex mutex_;
    std::unique_ptr<TqxJSONobject> document_;
    TDictionary cache_;
    std::string rawText_;
};

// The one configuration of the process, created on first use and destroyed at program end.
TOEConfiger& ConfigerInstance();
