#include "platform/AlsaControl.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <dlfcn.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace platform {

namespace {

struct ElemId {
    ElemId() { snd_ctl_elem_id_malloc(&id); }
    ~ElemId() { snd_ctl_elem_id_free(id); }
    ElemId(const ElemId&) = delete;
    ElemId& operator=(const ElemId&) = delete;
    snd_ctl_elem_id_t* id = nullptr;
};

struct ElemInfo {
    ElemInfo() { snd_ctl_elem_info_malloc(&info); }
    ~ElemInfo() { snd_ctl_elem_info_free(info); }
    ElemInfo(const ElemInfo&) = delete;
    ElemInfo& operator=(const ElemInfo&) = delete;
    snd_ctl_elem_info_t* info = nullptr;
};

struct ElemValue {
    ElemValue() { snd_ctl_elem_value_malloc(&value); }
    ~ElemValue() { snd_ctl_elem_value_free(value); }
    ElemValue(const ElemValue&) = delete;
    ElemValue& operator=(const ElemValue&) = delete;
    snd_ctl_elem_value_t* value = nullptr;
};

// Elements are addressed by interface, name and index rather than by number, so a handle
// reopened after the sound server came back reaches the same elements.
void Address(snd_ctl_elem_value_t* value, const AlsaControlBinding& binding) {
    snd_ctl_elem_value_set_interface(value, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_value_set_name(value, binding.elementName.c_str());
    snd_ctl_elem_value_set_index(value, binding.elementIndex);
}

} // namespace

int AlsaControl::Open(const std::string& name, bool nonBlocking,
                      std::unique_ptr<AlsaControl>& out) {
    snd_ctl_t* handle = nullptr;
    int err = snd_ctl_open(&handle, name.c_str(), nonBlocking ? SND_CTL_NONBLOCK : 0);
    if (err < 0) {
        return err;
    }
    out.reset(new AlsaControl(handle));
    return 0;
}

AlsaControl::~AlsaControl() {
    snd_ctl_close(handle_);
}

std::string AlsaControl::CardName() const {
    snd_ctl_card_info_t* info = nullptr;
    if (snd_ctl_card_info_malloc(&info) < 0) {
        return {};
    }
    std::string name;
    if (snd_ctl_card_info(handle_, info) >= 0) {
        const char* text = snd_ctl_card_info_get_name(info);
        name = text != nullptr ? text : "";
    }
    snd_ctl_card_info_free(info);
    return name;
}

int AlsaControl::ListElements(std::vector<AlsaElement>& elements) const {
    elements.clear();
    snd_ctl_elem_list_t* list = nullptr;
    int err = snd_ctl_elem_list_malloc(&list);
    if (err < 0) {
        return err;
    }
    err = snd_ctl_elem_list(handle_, list);
    unsigned count = err < 0 ? 0 : snd_ctl_elem_list_get_count(list);
    if (err >= 0 && count > 0) {
        err = snd_ctl_elem_list_alloc_space(list, count);
        if (err >= 0) {
            err = snd_ctl_elem_list(handle_, list);
        }
    }
    if (err < 0) {
        snd_ctl_elem_list_free_space(list);
        snd_ctl_elem_list_free(list);
        return err;
    }
    unsigned used = snd_ctl_elem_list_get_used(list);
    ElemId id;
    ElemInfo info;
    for (unsigned i = 0; i < used; ++i) {
        snd_ctl_elem_list_get_id(list, i, id.id);
        if (snd_ctl_elem_id_get_interface(id.id) != SND_CTL_ELEM_IFACE_MIXER) {
            continue;
        }
        snd_ctl_elem_info_set_id(info.info, id.id);
        err = snd_ctl_elem_info(handle_, info.info);
        if (err == -EIO) {
            break; // the device went away; the caller decides
        }
        if (err < 0) {
            continue;
        }
        AlsaElement element;
        element.name = snd_ctl_elem_id_get_name(id.id);
        element.index = snd_ctl_elem_id_get_index(id.id);
        element.count = snd_ctl_elem_info_get_count(info.info);
        element.writable = snd_ctl_elem_info_is_writable(info.info) != 0;
        element.active = snd_ctl_elem_info_is_inactive(info.info) == 0;
        switch (snd_ctl_elem_info_get_type(info.info)) {
        case SND_CTL_ELEM_TYPE_INTEGER:
            element.kind = AlsaElement::Kind::Integer;
            element.minimum = snd_ctl_elem_info_get_min(info.info);
            element.maximum = snd_ctl_elem_info_get_max(info.info);
            element.step = snd_ctl_elem_info_get_step(info.info);
            break;
        case SND_CTL_ELEM_TYPE_BOOLEAN:
            element.kind = AlsaElement::Kind::Boolean;
            element.maximum = 1;
            break;
        default:
            element.kind = AlsaElement::Kind::Other;
            break;
        }
        elements.push_back(element);
    }
    snd_ctl_elem_list_free_space(list);
    snd_ctl_elem_list_free(list);
    return err == -EIO ? err : 0;
}

int AlsaControl::Read(const AlsaControlBinding& binding, std::vector<long>& raw) const {
    ElemValue value;
    Address(value.value, binding);
    int err = snd_ctl_elem_read(handle_, value.value);
    if (err < 0) {
        return err;
    }
    raw.assign(binding.elementCount, 0);
    for (unsigned i = 0; i < binding.elementCount; ++i) {
        raw[i] = binding.role == AlsaControlBinding::Role::Mute
                     ? snd_ctl_elem_value_get_boolean(value.value, i)
                     : snd_ctl_elem_value_get_integer(value.value, i);
    }
    return 0;
}

int AlsaControl::Write(const AlsaControlBinding& binding, const std::vector<long>& raw) const {
    ElemValue value;
    Address(value.value, binding);
    for (unsigned i = 0; i < binding.elementCount && i < raw.size(); ++i) {
        if (binding.role == AlsaControlBinding::Role::Mute) {
            snd_ctl_elem_value_set_boolean(value.value, i, raw[i]);
        } else {
            snd_ctl_elem_value_set_integer(value.value, i, raw[i]);
        }
    }
    int err = snd_ctl_elem_write(handle_, value.value);
    return err < 0 ? err : 0;
}

int AlsaControl::Subscribe() const {
    return snd_ctl_subscribe_events(handle_, 1);
}

std::vector<int> AlsaControl::ReadableDescriptors() const {
    std::vector<int> fds;
    int count = snd_ctl_poll_descriptors_count(handle_);
    if (count <= 0) {
        return fds;
    }
    std::vector<pollfd> polls(static_cast<size_t>(count));
    count = snd_ctl_poll_descriptors(handle_, polls.data(), static_cast<unsigned>(count));
    for (int i = 0; i < count; ++i) {
        if ((polls[static_cast<size_t>(i)].events & POLLIN) != 0) {
            fds.push_back(polls[static_cast<size_t>(i)].fd);
        }
    }
    return fds;
}

int AlsaControl::ReadEvent(Event& event) const {
    snd_ctl_event_t* raw = nullptr;
    int err = snd_ctl_event_malloc(&raw);
    if (err < 0) {
        return err;
    }
    err = snd_ctl_read(handle_, raw);
    if (err == -EAGAIN) {
        err = 0;
    }
    if (err > 0) {
        event = Event{};
        if (snd_ctl_event_get_type(raw) == SND_CTL_EVENT_ELEM &&
            snd_ctl_event_elem_get_interface(raw) == SND_CTL_ELEM_IFACE_MIXER) {
            unsigned mask = snd_ctl_event_elem_get_mask(raw);
            event.name = snd_ctl_event_elem_get_name(raw);
            event.index = snd_ctl_event_elem_get_index(raw);
            event.removed = mask == SND_CTL_EVENT_MASK_REMOVE;
            if (!event.removed) {
                event.added = (mask & SND_CTL_EVENT_MASK_ADD) != 0;
                event.changed = (mask & (SND_CTL_EVENT_MASK_VALUE | SND_CTL_EVENT_MASK_INFO)) != 0;
            }
        }
        err = 1;
    }
    snd_ctl_event_free(raw);
    return err;
}

void ReloadAlsaConfiguration() {
    snd_config_update_free_global();
}

DWORD AlsaLibraryVersion() {
    return static_cast<DWORD>(((SND_LIB_MAJOR & 0xFF) << 8) | (SND_LIB_MINOR & 0xFF));
}

bool AlsaPulsePluginInstalled() {
    const std::string plugin = "/alsa-lib/libasound_module_ctl_pulse.so";
    // Plugins live in alsa-lib/ beside the library that loads them.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&snd_ctl_open), &info) != 0 && info.dli_fname != nullptr) {
        std::string library = info.dli_fname;
        size_t slash = library.rfind('/');
        if (slash != std::string::npos &&
            access((library.substr(0, slash) + plugin).c_str(), R_OK) == 0) {
            return true;
        }
    }
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu",
                            "/usr/lib/i386-linux-gnu", "/usr/lib64", "/usr/lib"}) {
        if (access((std::string(dir) + plugin).c_str(), R_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<int> AlsaCardNumbers() {
    std::vector<int> cards;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        cards.push_back(card);
    }
    return cards;
}

} // namespace platform
