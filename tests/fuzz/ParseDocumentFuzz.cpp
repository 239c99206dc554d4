// Arbitrary bytes through the configuration parser; whatever tree comes back is read through
// every operation a caller might use, and loaded into a configuration for a few lookups.

#include "Errors.h"
#include "OEUnitConfig.h"
#include "OEUnitQxJSON.h"
#include "TextConvert.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Walk(TqxJSONbase* node, int depth) {
    if (node == nullptr) {
        return;
    }
    (void)node->Kind();
    (void)node->KindName();
    const ScalarValue value = node->ReadValue();
    (void)value.ToNarrowText();
    if (value.IsText()) {
        (void)NarrowToWide(WideToNarrow(value.Text()));
    }
    (void)node->Lookup(ScalarValue(u"a"));
    (void)node->Lookup(ScalarValue(0.0));
    auto* container = dynamic_cast<TqxJSONcustomlist*>(node);
    if (container == nullptr) {
        return;
    }
    const std::int32_t count = container->ItemCount();
    for (std::int32_t i = -1; i <= count; ++i) {
        std::string name;
        const TqxJSONbase* target = container->EntryAt(i, name);
        const int kind = target != nullptr ? target->Kind() : -1;
        // Typed reads that match the target's class, all of them when there is no target, and
        // one read of the wrong class per container: exceptions are slow under the sanitizers.
        try {
            if (kind == -1 || kind == jsNumber || i == 0) {
                (void)container->DoubleAt(i);
                (void)container->IntAt(i); // may be out of the 32-bit range
            }
            if (kind == -1 || kind == jsString) {
                (void)container->TextAt(i);
                (void)container->WideTextAt(i);
            }
            if (kind == -1 || kind == jsBoolean) {
                (void)container->BooleanAt(i);
            }
        } catch (const ProgramError&) {
            // the errors typed reads are documented to raise; anything else is a finding
        }
        if (auto* object = dynamic_cast<TqxJSONobject*>(node)) {
            (void)object->MemberByName(object->MemberNameAt(i));
        }
        // Down through the items themselves: following EntryAt would revisit the first
        // member of a repeated name once per repetition, exponentially in the nesting.
        TqxJSONbase* child = container->ItemAt(i);
        if (auto* member = dynamic_cast<TqxJSONobjectmethod*>(child)) {
            child = member->Value();
        }
        if (depth < TqxJSON::kMaxDepth + 2) {
            Walk(child, depth + 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto root = TqxJSON::ParseDocument(text);
    Walk(root.get(), 0);

    TOEConfiger config;
    try {
        if (config.LoadText(text)) {
            (void)config.ReadText("form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_BTN_1#site", '#');
            (void)config.ReadTextIndexed("form1#frame1#DUI#0#text", '#');
            (void)config.ReadCount("form1#frame1#DUI", '#');
            (void)config.ReadCountIndexed("0#0#0", '#');
        }
    } catch (const InvalidCastError&) {
        // a root that is not an object
    }
    return 0;
}
