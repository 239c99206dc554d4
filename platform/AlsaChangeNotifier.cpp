#include "platform/AlsaChangeNotifier.h"

#include "platform/AlsaControl.h"
#include "threading/MessageWindow.h"

#include <QObject>
#include <QSocketNotifier>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

struct AlsaChangeNotifier::Shared {
    std::mutex mutex;
    bool stopped = false;
    unsigned long long generation = 0;
    std::string controlName;
    HWND window = nullptr;
    HMIXER handle = nullptr;
    std::shared_ptr<const AlsaMixerLayout> layout;
};

namespace {

// Lives on the window's thread as a child of the window, watching one second handle.
class ChangeReceiver : public QObject {
public:
    ChangeReceiver(MessageWindow& window, std::shared_ptr<AlsaChangeNotifier::Shared> shared,
                   unsigned long long generation, std::shared_ptr<AlsaControl> control)
        : QObject(&window), shared_(std::move(shared)), generation_(generation),
          control_(std::move(control)) {
        for (int fd : control_->ReadableDescriptors()) {
            auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            QObject::connect(notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
        }
    }

    bool BelongsTo(const AlsaChangeNotifier::Shared* shared, unsigned long long current) const {
        return shared_.get() == shared && generation_ < current;
    }

private:
    void Drain() {
        AlsaControl::Event event;
        int result = 0;
        while ((result = control_->ReadEvent(event)) > 0) {
            Deliver(event);
        }
        if (result < 0) {
            // The handle is dead (its server went away); a restart brings a fresh one.
            for (auto* notifier : findChildren<QSocketNotifier*>()) {
                notifier->setEnabled(false);
            }
        }
    }

    void Deliver(const AlsaControl::Event& event) {
        const AlsaControlBinding* binding = nullptr;
        for (const auto& candidate : shared_->layout->bindings) {
            if (candidate.elementName == event.name && candidate.elementIndex == event.index) {
                binding = &candidate;
                break;
            }
        }
        if (binding == nullptr) {
            return; // an element no line shows
        }
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopped || shared_->generation != generation_) {
            return;
        }
        auto wParam = reinterpret_cast<WPARAM>(shared_->handle);
        if (event.added || event.removed) {
            MessageWindow::Post(shared_->window, MM_MIXM_LINE_CHANGE, wParam,
                                static_cast<LPARAM>(binding->lineId));
        } else if (event.changed) {
            MessageWindow::Post(shared_->window, MM_MIXM_CONTROL_CHANGE, wParam,
                                static_cast<LPARAM>(binding->controlId));
        }
    }

    std::shared_ptr<AlsaChangeNotifier::Shared> shared_;
    unsigned long long generation_;
    std::shared_ptr<AlsaControl> control_;
};

// Removes the receivers of this notifier that belong to an earlier generation.
void PostCleanup(const std::shared_ptr<AlsaChangeNotifier::Shared>& shared, HWND window,
                 unsigned long long current) {
    // The task keeps the shared state alive, so no other notifier's state can take its address.
    MessageWindow::PostTask(window, [shared, current](MessageWindow& w) {
        for (auto* receiver : w.findChildren<ChangeReceiver*>(Qt::FindDirectChildrenOnly)) {
            if (receiver->BelongsTo(shared.get(), current)) {
                delete receiver;
            }
        }
    });
}

} // namespace

AlsaChangeNotifier::AlsaChangeNotifier(std::string controlName, HWND window, HMIXER handle,
                                       std::shared_ptr<const AlsaMixerLayout> layout)
    : shared_(std::make_shared<Shared>()) {
    shared_->controlName = std::move(controlName);
    shared_->window = window;
    shared_->handle = handle;
    shared_->layout = std::move(layout);
    Start();
}

AlsaChangeNotifier::~AlsaChangeNotifier() {
    Stop();
}

void AlsaChangeNotifier::Start() {
    unsigned long long generation = 0;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopped) {
            return;
        }
        generation = shared_->generation;
    }
    // Opening may block while the server hangs; the thread owns all it uses and simply ends
    // late in that case.
    std::thread([shared = shared_, generation] {
        std::unique_ptr<AlsaControl> opened;
        if (AlsaControl::Open(shared->controlName, true, opened) < 0 || opened->Subscribe() < 0) {
            return;
        }
        std::shared_ptr<AlsaControl> control = std::move(opened);
        MessageWindow::PostTask(shared->window,
                                [shared, generation, control](MessageWindow& window) {
                                    {
                                        std::lock_guard lock(shared->mutex);
                                        if (shared->stopped || shared->generation != generation) {
                                            return;
                                        }
                                    }
                                    new ChangeReceiver(window, shared, generation, control);
                                });
    }).detach();
}

void AlsaChangeNotifier::Restart() {
    unsigned long long current = 0;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopped) {
            return;
        }
        current = ++shared_->generation;
    }
    PostCleanup(shared_, shared_->window, current);
    Start();
}

void AlsaChangeNotifier::Stop() {
    unsigned long long current = 0;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopped) {
            return;
        }
        shared_->stopped = true;
        current = ++shared_->generation;
    }
    PostCleanup(shared_, shared_->window, current);
}

} // namespace platform
