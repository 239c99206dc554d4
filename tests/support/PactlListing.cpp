#include "support/PactlListing.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

using platform::CardProfile;
using platform::kNoIndex;
using platform::PortAvailable;
using platform::SoundCard;
using platform::SoundEndpoint;
using platform::SoundPort;
using platform::SoundServerState;
using platform::SoundStream;

namespace testing_support {
namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The whole of `s` as a number, or with `leading` the digits it starts with.
std::optional<std::uint32_t> Number(std::string_view s, bool leading = false) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc{} || end == s.data() || (!leading && end != s.data() + s.size())) {
        return std::nullopt;
    }
    return value;
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyValue> SplitKey(std::string_view line) {
    if (line.ends_with(':')) {
        return KeyValue{line.substr(0, line.size() - 1), {}};
    }
    const auto colon = line.find(": ");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyValue{line.substr(0, colon), Trim(line.substr(colon + 2))};
}

// A profile or port line: "name: description (field, field, ...)". The description may hold
// parentheses of its own ("Digital Output (S/PDIF) (priority: 0)"): the fields are the last
// group.
struct Entry {
    std::string name;
    std::string description;
    std::vector<std::string_view> fields;
};

std::optional<Entry> SplitEntry(std::string_view line) {
    const auto colon = line.find(": ");
    if (colon == std::string_view::npos || !line.ends_with(')')) {
        return std::nullopt;
    }
    std::size_t open = std::string_view::npos;
    int depth = 0;
    for (std::size_t i = line.size(); i-- > colon + 2;) {
        if (line[i] == ')') {
            ++depth;
        } else if (line[i] == '(' && --depth == 0) {
            open = i;
            break;
        }
    }
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    Entry entry{std::string(line.substr(0, colon)),
                std::string(Trim(line.substr(colon + 2, open - colon - 2))),
                {}};
    std::string_view inside = line.substr(open + 1, line.size() - open - 2);
    while (!inside.empty()) {
        const auto comma = inside.find(',');
        entry.fields.push_back(Trim(inside.substr(0, comma)));
        inside = comma == std::string_view::npos ? std::string_view{} : inside.substr(comma + 1);
    }
    return entry;
}

// "priority: 9000", "priority 9000" and "priority. 6000" alike.
std::optional<std::uint32_t> Field(const Entry& entry, std::string_view name) {
    for (std::string_view field : entry.fields) {
        if (field.starts_with(name) && field.size() > name.size() &&
            std::string_view(":. ").find(field[name.size()]) != std::string_view::npos) {
            const auto digits = field.find_first_not_of(":. ", name.size());
            if (digits != std::string_view::npos) {
                return Number(field.substr(digits));
            }
        }
    }
    return std::nullopt;
}

bool HasField(const Entry& entry, std::string_view wanted) {
    for (std::string_view field : entry.fields) {
        if (field == wanted) {
            return true;
        }
    }
    return false;
}

PortAvailable Availability(const Entry& port) {
    if (HasField(port, "available") || HasField(port, "available: yes")) {
        return PortAvailable::Yes;
    }
    if (HasField(port, "not available") || HasField(port, "available: no")) {
        return PortAvailable::No;
    }
    return PortAvailable::Unknown;
}

// What the listing says about an object beyond the model: how to find its card and the sink
// it monitors once everything is read.
struct Extra {
    std::string alsaCard;
    std::string monitorOf;
    bool cardLine = false;
};

class Reader {
public:
    void Line(std::string_view raw) {
        if (raw.starts_with('#')) {
            return;
        }
        const std::string_view line = Trim(raw);
        if (line.empty() || StartBlock(line) || ServerLine(line)) {
            return;
        }
        switch (list_) {
        case List::Properties:
            if (line.find(" = ") != std::string_view::npos) {
                Property(line);
                return;
            }
            break;
        case List::Profiles:
            if (!line.starts_with("Active Profile:")) {
                Profile(line);
                return;
            }
            break;
        case List::Ports:
            if (!line.starts_with("Active Port:") && !line.starts_with("Formats:")) {
                Port(line);
                return;
            }
            break;
        case List::Skip:
            return;
        case List::None:
            break;
        }
        list_ = List::None;
        if (const auto kv = SplitKey(line)) {
            Key(*kv);
        }
    }

    SoundServerState Finish() {
        Resolve(state_.sinks, sinkExtra_);
        Resolve(state_.sources, sourceExtra_);
        for (std::size_t i = 0; i < state_.sources.size(); ++i) {
            const std::string& monitored = sourceExtra_[i].monitorOf;
            if (monitored.empty()) {
                continue;
            }
            state_.sources[i].monitorOf = kUnlistedSink;
            for (const SoundEndpoint& sink : state_.sinks) {
                if (sink.name == monitored) {
                    state_.sources[i].monitorOf = sink.index;
                }
            }
        }
        return std::move(state_);
    }

private:
    enum class Block { None, Card, Sink, Source, Stream };
    enum class List { None, Properties, Profiles, Ports, Skip };

    bool StartBlock(std::string_view line) {
        const auto hash = line.rfind(" #");
        if (hash == std::string_view::npos) {
            return false;
        }
        const std::string_view kind = line.substr(0, hash);
        const auto index = Number(line.substr(hash + 2));
        if (!index ||
            kind.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz ") !=
                std::string_view::npos) {
            return false;
        }
        list_ = List::None;
        if (kind == "Card") {
            block_ = Block::Card;
            state_.cards.push_back({*index, {}, {}, {}});
            cardAlsa_.emplace_back();
        } else if (kind == "Sink" || kind == "Source") {
            block_ = kind == "Sink" ? Block::Sink : Block::Source;
            Endpoints().push_back({});
            Endpoints().back().index = *index;
            Extras().emplace_back();
        } else if (kind == "Sink Input") {
            block_ = Block::Stream;
            state_.streams.push_back({*index, kNoIndex});
        } else {
            block_ = Block::None; // modules, clients, recording streams, samples
            list_ = List::Skip;
        }
        return true;
    }

    // pactl info / pactl stat.
    bool ServerLine(std::string_view line) {
        const auto kv = SplitKey(line);
        if (!kv) {
            return false;
        }
        if (kv->key == "Default Sink") {
            state_.defaultSink = kv->value;
        } else if (kv->key == "Default Source") {
            state_.defaultSource = kv->value;
        } else if (kv->key == "Server Name") {
            state_.serverName = kv->value;
        } else {
            return false;
        }
        return true;
    }

    void Key(const KeyValue& kv) {
        if (kv.key == "Properties") {
            list_ = block_ == Block::Stream ? List::Skip : List::Properties;
        } else if (block_ == Block::Card) {
            SoundCard& card = state_.cards.back();
            if (kv.key == "Name") {
                card.name = kv.value;
            } else if (kv.key == "Active Profile") {
                card.activeProfile = kv.value;
            } else if (kv.key == "Profiles") {
                list_ = List::Profiles;
            } else if (kv.key == "Ports") {
                list_ = List::Skip; // the card's own port list repeats its sinks' and sources'
            }
        } else if (block_ == Block::Sink || block_ == Block::Source) {
            SoundEndpoint& endpoint = Endpoints().back();
            if (kv.key == "Name") {
                endpoint.name = kv.value;
            } else if (kv.key == "Description") {
                endpoint.description = kv.value;
            } else if (kv.key == "Driver") {
                endpoint.driver = kv.value;
            } else if (kv.key == "Card") {
                endpoint.card = Number(kv.value, true).value_or(kNoIndex);
                Extras().back().cardLine = true;
            } else if (kv.key == "Monitor of Sink" && kv.value != "n/a") {
                Extras().back().monitorOf = kv.value;
            } else if (kv.key == "Active Port") {
                endpoint.activePort = kv.value;
            } else if (kv.key == "Ports") {
                list_ = List::Ports;
            } else if (kv.key == "Formats") {
                list_ = List::Skip;
            }
        } else if (block_ == Block::Stream && kv.key == "Sink") {
            state_.streams.back().sink = Number(kv.value, true).value_or(kNoIndex);
        }
    }

    void Property(std::string_view line) {
        const auto equals = line.find(" = ");
        const std::string_view key = line.substr(0, equals);
        std::string_view value = Trim(line.substr(equals + 3));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (key == "alsa.card" && block_ == Block::Card) {
            cardAlsa_.back() = value;
        } else if (key == "alsa.card" && (block_ == Block::Sink || block_ == Block::Source)) {
            Extras().back().alsaCard = value;
        } else if (key == "factory.name" && (block_ == Block::Sink || block_ == Block::Source)) {
            Endpoints().back().factory = value;
        }
    }

    void Profile(std::string_view line) {
        const auto entry = SplitEntry(line);
        if (!entry || block_ != Block::Card) {
            return;
        }
        CardProfile profile;
        profile.name = entry->name;
        profile.description = entry->description;
        profile.sinks = Field(*entry, "sinks").value_or(0);
        profile.sources = Field(*entry, "sources").value_or(0);
        profile.priority = Field(*entry, "priority").value_or(0);
        profile.available = !HasField(*entry, "available: no");
        state_.cards.back().profiles.push_back(std::move(profile));
    }

    void Port(std::string_view line) {
        const auto entry = SplitEntry(line);
        if (!entry || (block_ != Block::Sink && block_ != Block::Source)) {
            return;
        }
        Endpoints().back().ports.push_back({entry->name, entry->description,
                                            Field(*entry, "priority").value_or(0),
                                            Availability(*entry)});
    }

    void Resolve(std::vector<SoundEndpoint>& endpoints, const std::vector<Extra>& extras) {
        for (std::size_t i = 0; i < endpoints.size(); ++i) {
            if (extras[i].cardLine || extras[i].alsaCard.empty()) {
                continue;
            }
            for (std::size_t c = 0; c < state_.cards.size(); ++c) {
                if (cardAlsa_[c] == extras[i].alsaCard) {
                    endpoints[i].card = state_.cards[c].index;
                }
            }
        }
    }

    std::vector<SoundEndpoint>& Endpoints() {
        return block_ == Block::Sink ? state_.sinks : state_.sources;
    }
    std::vector<Extra>& Extras() { return block_ == Block::Sink ? sinkExtra_ : sourceExtra_; }

    SoundServerState state_;
    std::vector<Extra> sinkExtra_;
    std::vector<Extra> sourceExtra_;
    std::vector<std::string> cardAlsa_;
    Block block_ = Block::None;
    List list_ = List::None;
};

} // namespace

SoundServerState ParsePactlListing(std::string_view text) {
    Reader reader;
    while (!text.empty()) {
        const auto end = text.find('\n');
        reader.Line(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return reader.Finish();
}

SoundServerState LoadPactlFixture(const std::string& name) {
    const char* source = std::getenv("TONEMENDER_SOURCE_DIR");
    if (source == nullptr) {
        throw std::runtime_error("TONEMENDER_SOURCE_DIR is not set");
    }
    const auto path = std::filesystem::path(source) / "tests" / "fixtures" / "pactl" / name;
    std::ifstream file(path);
    if (!file) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParsePactlListing(text.str());
}

} // namespace testing_support
