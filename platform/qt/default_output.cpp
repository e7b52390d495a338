// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/default_output.h"

#include <mutex>
#include <string>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

namespace platform {
namespace {

class DefaultOutputWatch {
public:
    DefaultOutputWatch() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "zent_tones");
        if (!context_) return;
        pa_context_set_state_callback(context_, &DefaultOutputWatch::OnState, this);
        // Without a server (or once it is gone) the name stays as last known;
        // the player then falls back to Qt's own idea of the default.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
        pa_threaded_mainloop_start(loop_);
    }

    // Lives as long as the process: the tone player is a static, and a
    // thread stopped at exit could race the server's last answer.
    ~DefaultOutputWatch() = default;
    DefaultOutputWatch(const DefaultOutputWatch&) = delete;
    DefaultOutputWatch& operator=(const DefaultOutputWatch&) = delete;

    QByteArray Name() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return QByteArray::fromStdString(sink_);
    }

private:
    static void OnState(pa_context* c, void* data) {
        if (pa_context_get_state(c) != PA_CONTEXT_READY) return;
        pa_context_set_subscribe_callback(c, &DefaultOutputWatch::OnEvent, data);
        pa_operation_unref(pa_context_subscribe(c, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr));
        pa_operation_unref(pa_context_get_server_info(c, &DefaultOutputWatch::OnServer, data));
    }

    static void OnEvent(pa_context* c, pa_subscription_event_type_t, uint32_t, void* data) {
        pa_operation_unref(pa_context_get_server_info(c, &DefaultOutputWatch::OnServer, data));
    }

    static void OnServer(pa_context*, const pa_server_info* info, void* data) {
        if (!info) return;
        auto* self = static_cast<DefaultOutputWatch*>(data);
        const std::lock_guard<std::mutex> lock(self->mutex_);
        self->sink_ = info->default_sink_name ? info->default_sink_name : "";
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::mutex mutex_;
    std::string sink_;
};

}  // namespace

QByteArray DefaultOutputName() {
    static auto* watch = new DefaultOutputWatch;  // see its destructor
    return watch->Name();
}

}  // namespace platform
