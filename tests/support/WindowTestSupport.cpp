#include "support/WindowTestSupport.h"

#include "config/OEUnitConfig.h"
#include "platform/EmbeddedResources.h"

#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace window_test {

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    previous_ = SetMessageBoxAnswerer(
        [this, answer](const std::string& text, const std::string& caption, UINT flags) {
            std::lock_guard lock(mutex_);
            calls_.push_back({text, caption, flags, std::this_thread::get_id()});
            return answer;
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxAnswerer(std::move(previous_));
}

std::vector<MessageBoxCall> MessageBoxRecorder::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::unique_ptr<platform::testing::ScriptedModuleResources>
ShippedResourcesExcept(const std::vector<std::string>& leftOut,
                       const std::vector<std::pair<std::string, std::string>>& replaced) {
    auto resources = std::make_unique<platform::testing::ScriptedModuleResources>();
    for (const EmbeddedResource& entry : EmbeddedResourceTable()) {
        const std::string name = entry.name;
        if (std::find(leftOut.begin(), leftOut.end(), name) != leftOut.end()) {
            continue;
        }
        auto swap = std::find_if(replaced.begin(), replaced.end(),
                                 [&](const auto& item) { return item.first == name; });
        if (swap != replaced.end()) {
            resources->Add(name, entry.type, swap->second);
        } else {
            resources->Add(name, entry.type,
                           std::vector<unsigned char>(entry.data, entry.data + entry.size));
        }
    }
    return resources;
}

std::string ShippedResource(const std::string& name) {
    for (const EmbeddedResource& entry : EmbeddedResourceTable()) {
        if (name == entry.name) {
            return std::string(reinterpret_cast<const char*>(entry.data), entry.size);
        }
    }
    ADD_FAILURE() << "no resource " << name;
    return {};
}

void ForgetConfiguration() {
    // An empty text is rejected, which leaves no document at all.
    ConfigerInstance().LoadText("");
}

FormUnderTest::FormUnderTest(std::function<std::unique_ptr<TOEM_FORM>()> make) {
    ForgetConfiguration();
    form = make ? make() : std::make_unique<TOEM_FORM>();
    form->OnPreparePage = [this](SmallInt index) { prepared.push_back(index); };
}

void FormUnderTest::Show() {
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

Rgb PixelAt(const QImage& image, int x, int y) {
    QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

} // namespace window_test
