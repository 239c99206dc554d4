#pragma once
// Careful reading of sysfs: small attribute files, folder listings and links, all of which may
// be missing, unreadable or odd without anything failing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tmaudiomanager {

// The first line of a small attribute file, without surrounding blanks; nullopt when missing
// or unreadable. Reads at most maxBytes.
std::optional<std::string> ReadAttribute(const std::string& path, std::size_t maxBytes = 4096);

// The raw bytes of a file, at most maxBytes; nullopt when missing or unreadable.
std::optional<std::string> ReadBinary(const std::string& path, std::size_t maxBytes);

// "0x10ec0892", "10ec0892" or "0892": a hex number up to 32 bits.
std::optional<std::uint32_t> ParseHex(const std::optional<std::string>& text);

// Names in a folder (following a link to it), sorted, without "." and "..". Empty when it is
// not a readable folder.
std::vector<std::string> ListFolder(const std::string& path);

// Whether the entry exists, without following a final link (a dangling "driver" link counts).
bool EntryExists(const std::string& path);

// The last part of a link's target ("../../bus/pci/drivers/snd_hda_intel" gives
// "snd_hda_intel"); empty when it is not a readable link.
std::string LinkTargetName(const std::string& path);

// The sound card folders ("sound/cardN") at most three folder levels below a device, found
// without following links.
std::vector<std::string> FindSoundCards(const std::string& device);

// Whether a card folder holds a playback device ("pcmCnDmp").
bool CardHasPlayback(const std::string& card);

} // namespace tmaudiomanager
