#include "SecurityDescriptor.h"

#include <stdexcept>
#include <string>

namespace art {
namespace {

struct Sid {
    std::uint8_t authority;
    std::vector<std::uint32_t> subAuthorities;
};

struct Ace {
    std::uint8_t type;
    std::uint8_t flags;
    std::uint32_t mask;
    Sid sid;
};

constexpr std::uint8_t kAccessAllowed = 0;
constexpr std::uint8_t kSystemAudit = 2;
constexpr std::uint8_t kAuditFailedAccess = 0x80;
constexpr std::uint8_t kAclRevision = 2;
constexpr std::uint16_t kSelfRelative = 0x8000;
constexpr std::uint16_t kSaclPresent = 0x0010;
constexpr std::uint16_t kDaclPresent = 0x0004;

// Service access rights as the service manager names them.
constexpr std::uint32_t kServiceAllAccess = 0x000F01FF;
constexpr std::uint32_t kQueryAndControl = 0x000201FD; // read, start, stop, pause, interrogate
constexpr std::uint32_t kQueryOnly = 0x0002018D;       // read, interrogate, user-defined control

const Sid kEveryone{1, {0}};             // S-1-1-0
const Sid kLocalSystem{5, {18}};         // S-1-5-18
const Sid kAuthenticatedUsers{5, {11}};  // S-1-5-11
const Sid kAdministrators{5, {32, 544}}; // S-1-5-32-544
const Sid kUsers{5, {32, 545}};          // S-1-5-32-545
const Sid kPowerUsers{5, {32, 547}};     // S-1-5-32-547

void Put(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

Bytes SidBytes(const Sid& sid) {
    Bytes out{1, static_cast<std::uint8_t>(sid.subAuthorities.size()),
              0, 0,
              0, 0,
              0, sid.authority}; // the 48-bit authority is big-endian
    for (std::uint32_t sub : sid.subAuthorities) {
        Put(out, sub, 4);
    }
    return out;
}

Bytes AclBytes(const std::vector<Ace>& aces) {
    Bytes body;
    for (const Ace& ace : aces) {
        const Bytes sid = SidBytes(ace.sid);
        body.push_back(ace.type);
        body.push_back(ace.flags);
        Put(body, static_cast<std::uint32_t>(8 + sid.size()), 2);
        Put(body, ace.mask, 4);
        body.insert(body.end(), sid.begin(), sid.end());
    }
    Bytes out{kAclRevision, 0};
    Put(out, static_cast<std::uint32_t>(8 + body.size()), 2);
    Put(out, static_cast<std::uint32_t>(aces.size()), 2);
    Put(out, 0, 2);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes SelfRelative(const std::vector<Ace>& sacl, const std::vector<Ace>& dacl,
                   std::size_t expectedSize) {
    const Bytes saclBytes = AclBytes(sacl);
    const Bytes daclBytes = AclBytes(dacl);
    const Bytes owner = SidBytes(kLocalSystem);
    const Bytes group = SidBytes(kLocalSystem);
    const std::uint32_t saclAt = 20;
    const auto daclAt = static_cast<std::uint32_t>(saclAt + saclBytes.size());
    const auto ownerAt = static_cast<std::uint32_t>(daclAt + daclBytes.size());
    const auto groupAt = static_cast<std::uint32_t>(ownerAt + owner.size());

    Bytes out{1, 0};
    Put(out, kSelfRelative | kSaclPresent | kDaclPresent, 2);
    Put(out, ownerAt, 4);
    Put(out, groupAt, 4);
    Put(out, saclAt, 4);
    Put(out, daclAt, 4);
    for (const Bytes* part : {&saclBytes, &daclBytes, &owner, &group}) {
        out.insert(out.end(), part->begin(), part->end());
    }
    // The script's readers rely on these sizes, so a changed access list must not slip through.
    if (out.size() != expectedSize) {
        throw std::logic_error("security descriptor is " + std::to_string(out.size()) +
                               " bytes, expected " + std::to_string(expectedSize));
    }
    return out;
}

std::vector<Ace> AuditFailures() {
    return {{kSystemAudit, kAuditFailedAccess, kServiceAllAccess, kEveryone}};
}

std::vector<Ace> StandardAccess() {
    return {{kAccessAllowed, 0, kQueryAndControl, kLocalSystem},
            {kAccessAllowed, 0, kServiceAllAccess, kAdministrators},
            {kAccessAllowed, 0, kQueryOnly, kAuthenticatedUsers},
            {kAccessAllowed, 0, kQueryAndControl, kPowerUsers}};
}

} // namespace

Bytes PlugPlaySecurity() {
    return SelfRelative(AuditFailures(), StandardAccess(), 168);
}

Bytes RpcSsSecurity() {
    // Everybody who can log on may query the RPC service, so plain Users get a read entry too.
    std::vector<Ace> access = StandardAccess();
    access.push_back({kAccessAllowed, 0, kQueryOnly, kUsers});
    return SelfRelative(AuditFailures(), access, 192);
}

} // namespace art
